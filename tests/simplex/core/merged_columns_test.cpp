// Merging a column's repeated rows: sums at the first place, cancellations dropped,
// other elements untouched; the check finds a repeat only within one column.
#include "simplex/core/merged_columns.h"

#include <gtest/gtest.h>

#include <vector>

namespace kqopt {
namespace {

TEST(MergedColumns, RepeatsAreSummedAtTheFirstPlaceAndCancellationsDropped) {
  // Column 0: rows 2, 0, 2, 1, 0 -> 2 (1 + 4), 0 (2 - 2: cancels), 1.
  // Column 1: rows 0, 1 (no repeat). Column 2: empty. Column 3: row 1 three times.
  const std::vector<std::int32_t> start{0, 5, 7, 7, 10};
  const std::vector<std::int32_t> row{2, 0, 2, 1, 0, 0, 1, 1, 1, 1};
  const std::vector<double> value{1.0, 2.0, 4.0, 3.0, -2.0, 5.0, 6.0, 0.5, 0.25, 0.25};
  EXPECT_TRUE(has_repeated_rows(3, start, row));
  MergedColumns out;
  merge_repeated_rows(3, start, row, value, out);
  EXPECT_EQ(out.start, (std::vector<std::int32_t>{0, 2, 4, 4, 5}));
  EXPECT_EQ(out.row_index, (std::vector<std::int32_t>{2, 1, 0, 1, 1}));
  EXPECT_EQ(out.value, (std::vector<double>{5.0, 3.0, 5.0, 6.0, 1.0}));
  EXPECT_FALSE(has_repeated_rows(3, out.start, out.row_index));
}

TEST(MergedColumns, SameRowInDifferentColumnsIsNoRepeat) {
  const std::vector<std::int32_t> start{0, 2, 4};
  const std::vector<std::int32_t> row{0, 1, 1, 0};
  EXPECT_FALSE(has_repeated_rows(2, start, row));
  EXPECT_FALSE(has_repeated_rows(2, std::vector<std::int32_t>{0}, {}));
}

TEST(MergedColumns, AnExplicitZeroThatWasNotMergedStays) {
  const std::vector<std::int32_t> start{0, 3};
  const std::vector<std::int32_t> row{0, 1, 1};
  const std::vector<double> value{0.0, 1.0, 2.0};
  MergedColumns out;
  merge_repeated_rows(2, start, row, value, out);
  EXPECT_EQ(out.row_index, (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(out.value, (std::vector<double>{0.0, 3.0}));
}

}  // namespace
}  // namespace kqopt
