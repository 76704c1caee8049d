// Work arrays of INVERT, kept between factorisations so that a new INVERT of
// the same size obtains nothing new.
//
// During INVERT the columns of B are addressed by their header slot s (0..m-1)
// and the rows by their row index. In the factor file, line i holds row i:
// (slot, value) for the active submatrix, and line m + s holds the pattern of
// active column s: the active rows where it has an entry (values unused).
// Invariants while a row or column is active:
//   - every entry of an active row lies in an active column and is listed in
//     that column's pattern, and the reverse;
//   - the entry of largest magnitude of an active row is its first entry;
//   - a row or column is in the count list of its entry count (nucleus only).
#pragma once

#include <cstdint>
#include <vector>

namespace kqopt {

enum : std::uint8_t {
  kLineActive = 0,   // still in the active submatrix
  kLinePivoted = 1,  // pivoted
  kLineOut = 2,      // left unpivoted (empty, or rejected by the pivot test)
};

struct FactorBuildWork {
  std::vector<std::int32_t> slot_row;       // m: pivot row of each slot, -1
  std::vector<std::int32_t> row_slot;       // m: pivot slot of each row, -1
  std::vector<std::uint8_t> slot_state;     // m: kLine*
  std::vector<std::uint8_t> row_state;      // m: kLine*
  std::vector<std::uint8_t> slot_replaced;  // m: 1 when the column was replaced by a logical

  // Count lists of the nucleus: head[c] is the first row (column) with c
  // entries; in_list[x] is the count x is listed under, -1 when not listed.
  std::vector<std::int32_t> row_head, row_next, row_prev, row_in_list;
  std::vector<std::int32_t> col_head, col_next, col_prev, col_in_list;
  std::int32_t max_count = 0;

  std::vector<std::int32_t> stack;     // singletons to pivot
  std::vector<std::int32_t> counts;    // m: per-line counts
  std::vector<std::int32_t> row_mark;  // m: last slot seen in each row while loading
  // The pivot row of the current elimination, scaled, and where each of its
  // slots sits in it (-1: not in the pivot row).
  std::vector<std::int32_t> pivot_index;
  std::vector<double> pivot_value;
  std::vector<std::int32_t> pivot_place;  // m
  std::vector<std::uint8_t> pivot_hit;
  // The rows of the pivot column and their entries (the L eta just written).
  std::vector<std::int32_t> eta_row;
  std::vector<double> eta_value;
  std::int32_t eta_count = 0;
  // Fill-in of one row.
  std::vector<std::int32_t> fill_index;
  std::vector<double> fill_value;
  // The dense tail (factor_dense.cpp): the rows still active (compacted as read), the
  // block row-major, its row order and its columns' slots.
  std::vector<std::int32_t> active_rows;
  std::int32_t active_row_count = 0;
  std::int32_t dense_next_check = 0;
  std::vector<double> dense;
  std::vector<std::int32_t> dense_row_of;
  std::vector<std::int32_t> dense_cols;

  void resize(std::int32_t m) {
    const auto n = static_cast<std::size_t>(m);
    slot_row.resize(n);
    row_slot.resize(n);
    slot_state.resize(n);
    slot_replaced.resize(n);
    row_state.resize(n);
    row_head.resize(n + 1);
    col_head.resize(n + 1);
    for (auto* v : {&row_next, &row_prev, &row_in_list, &col_next, &col_prev, &col_in_list, &counts, &row_mark,
                    &pivot_index, &pivot_place, &eta_row, &fill_index, &active_rows}) {
      v->resize(n);
    }
    pivot_value.resize(n);
    eta_value.resize(n);
    fill_value.resize(n);
    pivot_hit.resize(n);
    stack.reserve(n);
  }
};

}  // namespace kqopt
