// The LP-text reader's work area: chunked bump allocation against a byte budget.
#include "input/lp_work_area.h"

#include <cstdlib>

namespace kqopt::input {

LpWorkArea::~LpWorkArea() {
  while (chunk_ != nullptr) {
    Chunk* previous = chunk_->previous;
    std::free(chunk_);
    chunk_ = previous;
  }
}

void* LpWorkArea::allocate(std::size_t bytes) {
  std::size_t rounded = (bytes + 15) / 16 * 16;
  if (rounded < bytes) return nullptr;
  if (static_cast<std::size_t>(end_ - next_) < rounded) {
    // A new chunk: at least the request, at most what is left of the budget. The
    // budget counts whole chunks, so the tail a chunk leaves unused is counted too.
    std::size_t left = static_cast<std::size_t>(budget_ - used_);
    if (rounded > left) return nullptr;
    std::size_t size = rounded > kChunkBytes ? rounded : kChunkBytes;
    if (size > left) size = left;
    auto* chunk = static_cast<Chunk*>(std::malloc(kHeader + size));
    if (chunk == nullptr) return nullptr;
    chunk->previous = chunk_;
    chunk->size = size;
    chunk_ = chunk;
    next_ = reinterpret_cast<char*>(chunk) + kHeader;
    end_ = next_ + size;
    used_ += static_cast<std::int64_t>(size);
  }
  void* result = next_;
  next_ += rounded;
  return result;
}

}  // namespace kqopt::input
