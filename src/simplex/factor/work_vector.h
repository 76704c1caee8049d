// Work vector of the basis solves: one dense array of m doubles with a list of
// the indices of its nonzeros and a state word.
//
// Invariant by state:
//   dense  (1): value_ holds the vector; index_ is not valid.
//   sparse (2): every entry not listed in index_[0..count_) is exactly zero;
//               listed entries are distinct and may be zero or tiny.
//   zero   (3): every entry is exactly zero.
//
// The drop test of sparsify() compares only the upper 32 bits of the IEEE-754
// doubles (sign removed): an entry is dropped when the upper word of |value|
// is below the upper word of the tolerance, i.e. it looks at the exponent and
// the leading 20 mantissa bits.
#pragma once

#include <bit>
#include <cstdint>
#include <span>
#include <vector>

namespace kqopt {

enum class WorkVectorState : std::int8_t { dense = 1, sparse = 2, zero = 3 };

// Upper word of |x|: exponent and leading 20 mantissa bits.
inline std::uint32_t magnitude_upper_word(double x) {
  return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x) >> 32) & 0x7fffffffU;
}

// True when |x| is below tol by the upper-word test.
inline bool below_drop_tolerance(double x, double tol) { return magnitude_upper_word(x) < magnitude_upper_word(tol); }

class WorkVector {
 public:
  WorkVector() = default;
  explicit WorkVector(std::int32_t size) { resize(size); }

  // Sets the length to size and the vector to zero (allocates).
  void resize(std::int32_t size);

  std::int32_t size() const { return static_cast<std::int32_t>(value_.size()); }
  WorkVectorState state() const { return state_; }
  std::span<double> values() { return value_; }
  std::span<const double> values() const { return value_; }
  double operator[](std::int32_t i) const { return value_[static_cast<std::size_t>(i)]; }

  // The nonzero list; valid in the sparse state only.
  std::span<const std::int32_t> nonzeros() const { return {index_.data(), static_cast<std::size_t>(count_)}; }
  std::int32_t nonzero_count() const { return count_; }

  // Zeroes the vector: the listed entries in the sparse state, nothing in the
  // zero state, all m entries in the dense state. Leaves the zero state.
  void clear();

  // Loads v * e_i (clears first). Leaves the sparse state.
  void set_unit(std::int32_t i, double v = 1.0);

  // Loads a sparse column given by indices and values (clears first). Leaves the
  // sparse state; an index given twice is summed and leaves the dense state.
  void load_sparse(std::span<const std::int32_t> index, std::span<const double> value);

  // Loads a dense right-hand side of length size() (no clear needed).
  void load_dense(std::span<const double> value);

  // Declares that the values were written directly and the list is stale.
  void mark_dense() { state_ = WorkVectorState::dense; }

  // Walks the entries (the listed ones in the sparse state, all m otherwise),
  // sets to zero each entry below tol by the upper-word test, lists the rest
  // and leaves the sparse state (zero state when nothing is kept).
  void sparsify(double tol);
  // The same pass, also negating every kept entry.
  void sparsify_negated(double tol);

  // Raw access for the solve kernels, which maintain the list themselves.
  double* value_data() { return value_.data(); }
  std::int32_t* index_data() { return index_.data(); }
  void set_sparse(std::int32_t count) {
    count_ = count;
    state_ = count == 0 ? WorkVectorState::zero : WorkVectorState::sparse;
  }

 private:
  template <bool Negate>
  void sparsify_pass(double tol);

  std::vector<double> value_;        // m values
  std::vector<std::int32_t> index_;  // m slots; nonzero indices in [0, count_)
  std::int32_t count_ = 0;
  WorkVectorState state_ = WorkVectorState::zero;
};

}  // namespace kqopt
