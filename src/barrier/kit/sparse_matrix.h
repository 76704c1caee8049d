// The sparse matrix of the interior-point library: n sparse vectors (columns, or rows
// after a transpose) whose indices and values live in two pools handed out in order and
// freed all at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

namespace kqopt::barrier {

struct SparseVectorView {
  std::int32_t length = 0;
  std::int32_t* index = nullptr;
  double* value = nullptr;
};

class SparseMatrix {
 public:
  // n empty vectors and no pools; nothing on lack of memory.
  static std::unique_ptr<SparseMatrix> create(std::int32_t n);

  // Index and value pools of `size` entries (the old ones are dropped); false on lack of
  // memory.
  bool attach_pools(std::int64_t size);
  // Room for len entries in vector j: kept when it already has that much (only the length
  // changes), else a new slice from the pools; false when the pools are too small.
  bool vecalloc(std::int32_t j, std::int32_t len);
  SparseVectorView getai(std::int32_t j);
  // Shortens vector j; a longer length is a fatal argument error.
  void truncate(std::int32_t j, std::int32_t len);
  // Copies vector `from` into vector `to` (vecalloc semantics for the room).
  bool duprow(std::int32_t from, std::int32_t to);

  std::int32_t count() const { return static_cast<std::int32_t>(headers_.size()); }
  std::int64_t pool_size() const { return static_cast<std::int64_t>(index_pool_.size()); }
  std::int64_t pool_fill() const { return pool_fill_; }
  std::int64_t nonzeros() const;

  // y += alpha A x, with A's vectors as columns; `vectors` (optional) selects them.
  void gemv(double alpha, std::span<const double> x, std::span<double> y,
            std::span<const std::int32_t> vectors = {}) const;
  // y += alpha A' x: y[j] += alpha <vector j, x>; `vectors` (optional) selects them.
  void gemvv(double alpha, std::span<const double> x, std::span<double> y,
             std::span<const std::int32_t> vectors = {}) const;
  // C += A diag(d) A' into the dense column-major rows x rows matrix C.
  void gemm2(std::span<const double> d, std::int32_t rows, std::span<double> c) const;

  void print(std::FILE* out, const char* name) const;

 private:
  struct Header {
    std::int32_t length = 0;
    std::int32_t room = 0;
    std::int64_t offset = -1;
  };
  void check_vector(const char* proc, std::int32_t j) const;

  std::vector<Header> headers_;
  std::vector<std::int32_t> index_pool_;
  std::vector<double> value_pool_;
  std::int64_t pool_fill_ = 0;

  friend void samx_transpose(std::int32_t, SparseMatrix&, SparseMatrix&);
};

// The transpose of A with n vectors into at (its pools are replaced when too small).
// Target indices come out increasing.
void samx_transpose(std::int32_t n, SparseMatrix& a, SparseMatrix& at);

}  // namespace kqopt::barrier
