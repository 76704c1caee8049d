// Work vector states, clearing and the upper-word sparsify pass.
#include "simplex/factor/work_vector.h"

#include <algorithm>
#include <cassert>

namespace kqopt {

void WorkVector::resize(std::int32_t size) {
  value_.assign(static_cast<std::size_t>(size), 0.0);
  index_.assign(static_cast<std::size_t>(size), 0);
  count_ = 0;
  state_ = WorkVectorState::zero;
}

void WorkVector::clear() {
  switch (state_) {
    case WorkVectorState::zero:
      break;
    case WorkVectorState::sparse:
      for (std::int32_t k = 0; k < count_; ++k) value_[static_cast<std::size_t>(index_[k])] = 0.0;
      break;
    case WorkVectorState::dense:
      std::fill(value_.begin(), value_.end(), 0.0);
      break;
  }
  count_ = 0;
  state_ = WorkVectorState::zero;
}

void WorkVector::set_unit(std::int32_t i, double v) {
  assert(i >= 0 && i < size());
  clear();
  value_[static_cast<std::size_t>(i)] = v;
  index_[0] = i;
  set_sparse(1);
}

void WorkVector::load_sparse(std::span<const std::int32_t> index, std::span<const double> value) {
  assert(index.size() == value.size());
  clear();
  // An index given twice is summed; the nonzero list is then given up (dense state),
  // so that it never holds an index twice or outgrows m.
  std::int32_t count = 0;
  bool repeated = false;
  for (std::size_t k = 0; k < index.size(); ++k) {
    const std::int32_t i = index[k];
    assert(i >= 0 && i < size());
    if (value[k] == 0.0) continue;
    double& x = value_[static_cast<std::size_t>(i)];
    if (x == 0.0 && !repeated) {
      x = value[k];
      index_[count++] = i;
    } else {
      x += value[k];
      repeated = true;
    }
  }
  if (repeated) {
    count_ = 0;
    state_ = WorkVectorState::dense;
  } else {
    set_sparse(count);
  }
}

void WorkVector::load_dense(std::span<const double> value) {
  assert(static_cast<std::int32_t>(value.size()) == size());
  std::copy(value.begin(), value.end(), value_.begin());
  count_ = 0;
  state_ = WorkVectorState::dense;
}

template <bool Negate>
void WorkVector::sparsify_pass(double tol) {
  const std::uint32_t tol_word = magnitude_upper_word(tol);
  double* x = value_.data();
  std::int32_t kept = 0;
  if (state_ == WorkVectorState::sparse) {
    for (std::int32_t k = 0; k < count_; ++k) {
      const std::int32_t i = index_[k];
      if (magnitude_upper_word(x[i]) < tol_word) {
        x[i] = 0.0;
      } else {
        if constexpr (Negate) x[i] = -x[i];
        index_[kept++] = i;
      }
    }
  } else if (state_ == WorkVectorState::dense) {
    const std::int32_t m = size();
    for (std::int32_t i = 0; i < m; ++i) {
      if (x[i] == 0.0) continue;
      if (magnitude_upper_word(x[i]) < tol_word) {
        x[i] = 0.0;
      } else {
        if constexpr (Negate) x[i] = -x[i];
        index_[kept++] = i;
      }
    }
  }
  set_sparse(kept);
}

void WorkVector::sparsify(double tol) { sparsify_pass<false>(tol); }
void WorkVector::sparsify_negated(double tol) { sparsify_pass<true>(tol); }

}  // namespace kqopt
