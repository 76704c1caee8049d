// The pooled sparse matrix (see sparse_matrix.h).
#include "barrier/kit/sparse_matrix.h"

#include <new>
#include <string>

#include "barrier/kit/fatal_error.h"

namespace kqopt::barrier {

std::unique_ptr<SparseMatrix> SparseMatrix::create(std::int32_t n) {
  std::unique_ptr<SparseMatrix> a(new (std::nothrow) SparseMatrix());
  if (!a) return nullptr;
  try {
    a->headers_.resize(static_cast<std::size_t>(n < 0 ? 0 : n));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return a;
}

bool SparseMatrix::attach_pools(std::int64_t size) {
  try {
    std::vector<std::int32_t> index(static_cast<std::size_t>(size));
    std::vector<double> value(static_cast<std::size_t>(size));
    index_pool_.swap(index);
    value_pool_.swap(value);
  } catch (const std::bad_alloc&) {
    return false;
  }
  pool_fill_ = 0;
  for (Header& h : headers_) h = Header{};
  return true;
}

void SparseMatrix::check_vector(const char* proc, std::int32_t j) const {
  if (j < 0 || j >= count()) {
    fatal_argument("svector", proc, 2, j, "\nrow=" + std::to_string(count()));
  }
}

bool SparseMatrix::vecalloc(std::int32_t j, std::int32_t len) {
  check_vector("samx_vecalloc", j);
  Header& h = headers_[static_cast<std::size_t>(j)];
  if (h.room >= len) {
    h.length = len;
    return true;
  }
  if (pool_fill_ + len > pool_size()) return false;
  h.offset = pool_fill_;
  h.room = len;
  h.length = len;
  pool_fill_ += len;
  return true;
}

SparseVectorView SparseMatrix::getai(std::int32_t j) {
  check_vector("samx_getai", j);
  Header& h = headers_[static_cast<std::size_t>(j)];
  if (h.offset < 0) return {h.length, nullptr, nullptr};
  return {h.length, index_pool_.data() + h.offset, value_pool_.data() + h.offset};
}

void SparseMatrix::truncate(std::int32_t j, std::int32_t len) {
  check_vector("svec_truncate", j);
  Header& h = headers_[static_cast<std::size_t>(j)];
  if (len > h.length || len < 0) fatal_argument("svector", "svec_truncate", 2, len);
  h.length = len;
}

bool SparseMatrix::duprow(std::int32_t from, std::int32_t to) {
  check_vector("samx_duprow", from);
  const std::int32_t len = headers_[static_cast<std::size_t>(from)].length;
  if (!vecalloc(to, len)) return false;
  const Header& f = headers_[static_cast<std::size_t>(from)];
  const Header& t = headers_[static_cast<std::size_t>(to)];
  for (std::int32_t k = 0; k < len; ++k) {
    index_pool_[static_cast<std::size_t>(t.offset + k)] = index_pool_[static_cast<std::size_t>(f.offset + k)];
    value_pool_[static_cast<std::size_t>(t.offset + k)] = value_pool_[static_cast<std::size_t>(f.offset + k)];
  }
  return true;
}

std::int64_t SparseMatrix::nonzeros() const {
  std::int64_t total = 0;
  for (const Header& h : headers_) total += h.length;
  return total;
}

void SparseMatrix::gemv(double alpha, std::span<const double> x, std::span<double> y,
                        std::span<const std::int32_t> vectors) const {
  const std::int32_t count_used = vectors.empty() ? count() : static_cast<std::int32_t>(vectors.size());
  for (std::int32_t k = 0; k < count_used; ++k) {
    const std::int32_t j = vectors.empty() ? k : vectors[static_cast<std::size_t>(k)];
    const Header& h = headers_[static_cast<std::size_t>(j)];
    const double t = alpha * x[static_cast<std::size_t>(j)];
    if (t == 0.0) continue;
    for (std::int32_t p = 0; p < h.length; ++p) {
      const auto q = static_cast<std::size_t>(h.offset + p);
      y[static_cast<std::size_t>(index_pool_[q])] += t * value_pool_[q];
    }
  }
}

void SparseMatrix::gemvv(double alpha, std::span<const double> x, std::span<double> y,
                         std::span<const std::int32_t> vectors) const {
  const std::int32_t count_used = vectors.empty() ? count() : static_cast<std::int32_t>(vectors.size());
  for (std::int32_t k = 0; k < count_used; ++k) {
    const std::int32_t j = vectors.empty() ? k : vectors[static_cast<std::size_t>(k)];
    const Header& h = headers_[static_cast<std::size_t>(j)];
    double sum = 0.0;
    for (std::int32_t p = 0; p < h.length; ++p) {
      const auto q = static_cast<std::size_t>(h.offset + p);
      sum += value_pool_[q] * x[static_cast<std::size_t>(index_pool_[q])];
    }
    y[static_cast<std::size_t>(j)] += alpha * sum;
  }
}

void SparseMatrix::gemm2(std::span<const double> d, std::int32_t rows, std::span<double> c) const {
  for (std::int32_t j = 0; j < count(); ++j) {
    const Header& h = headers_[static_cast<std::size_t>(j)];
    for (std::int32_t p = 0; p < h.length; ++p) {
      const auto qp = static_cast<std::size_t>(h.offset + p);
      const double t = d[static_cast<std::size_t>(j)] * value_pool_[qp];
      const auto col = static_cast<std::size_t>(index_pool_[qp]) * static_cast<std::size_t>(rows);
      for (std::int32_t r = 0; r < h.length; ++r) {
        const auto qr = static_cast<std::size_t>(h.offset + r);
        c[col + static_cast<std::size_t>(index_pool_[qr])] += t * value_pool_[qr];
      }
    }
  }
}

void SparseMatrix::print(std::FILE* out, const char* name) const {
  std::fprintf(out, "\n%-s: ", name);
  for (const Header& h : headers_) {
    if (h.offset < 0) {
      std::fputs(h.length > 0 ? "[NULL] " : "NULL ", out);
      continue;
    }
    for (std::int32_t p = 0; p < h.length; ++p) {
      std::fprintf(out, "[%-d] ", index_pool_[static_cast<std::size_t>(h.offset + p)]);
    }
  }
}

void samx_transpose(std::int32_t n, SparseMatrix& a, SparseMatrix& at) {
  std::vector<std::int32_t> counts(static_cast<std::size_t>(n), 0);
  for (const auto& h : a.headers_) {
    for (std::int32_t p = 0; p < h.length; ++p) {
      const std::int32_t i = a.index_pool_[static_cast<std::size_t>(h.offset + p)];
      if (i < 0 || i >= n) fatal_kind("svector", "samx_transpose", FatalKind::kIndex);
      ++counts[static_cast<std::size_t>(i)];
    }
  }
  const std::int64_t total = a.nonzeros();
  if (at.count() != n) at.headers_.assign(static_cast<std::size_t>(n), SparseMatrix::Header{});
  if (at.pool_size() < total) {
    if (!at.attach_pools(total)) fatal_error("svector", "samx_transpose", "Out of internal space.");
  } else {
    at.pool_fill_ = 0;
    for (auto& h : at.headers_) h = SparseMatrix::Header{};
  }
  for (std::int32_t i = 0; i < n; ++i) {
    if (!at.vecalloc(i, counts[static_cast<std::size_t>(i)])) {
      fatal_error("svector", "samx_transpose", "Out of internal space.");
    }
    at.headers_[static_cast<std::size_t>(i)].length = 0;
  }
  for (std::int32_t j = 0; j < a.count(); ++j) {
    const auto& h = a.headers_[static_cast<std::size_t>(j)];
    for (std::int32_t p = 0; p < h.length; ++p) {
      const auto q = static_cast<std::size_t>(h.offset + p);
      auto& t = at.headers_[static_cast<std::size_t>(a.index_pool_[q])];
      const auto dst = static_cast<std::size_t>(t.offset + t.length++);
      at.index_pool_[dst] = j;
      at.value_pool_[dst] = a.value_pool_[q];
    }
  }
}

}  // namespace kqopt::barrier
