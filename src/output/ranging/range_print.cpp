// Printing the range file, two lines per variable; the layout is in range_print.h.
#include "output/ranging/range_print.h"

#include <string>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "output/ranging/range_file.h"
#include "output/solution_file.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

class RangePrinter {
 public:
  RangePrinter(Library& lib, const RangeRecord& record) : lib_(lib), record_(record) {
    const std::int32_t lines = lib.controls.i(icv::NLINES);
    page_ = lines > 2 ? lines - 2 : 1;
  }

  void summary() { put_summary(lib_, range_header(record_)); }

  void section(bool rows) {
    lines_on_page_ = page_;
    const std::int32_t first = rows ? 0 : record_.rows;
    const std::int32_t last = rows ? record_.rows : record_.rows + record_.columns;
    for (std::int32_t v = first; v < last; ++v) {
      // Spare row slots carry no type and are not shown.
      if (rows && record_.type_or_count[static_cast<std::size_t>(v)] == 0) continue;
      // The two lines of a variable stay on one page.
      if (lines_on_page_ + 2 > page_) heading(rows);
      lines(v, rows);
      lines_on_page_ += 2;
    }
  }

 private:
  void heading(bool rows) {
    print_message(lib_, rows ? kMessageRangingRowsHeading : kMessageRangingColumnsHeading);
    flush_line(lib_);
    print_message(lib_, rows ? kMessageRangingRowsTitles : kMessageRangingColumnsTitles);
    flush_line(lib_);
    print_message(lib_, rows ? kMessageRangingRowsTitlesLower : kMessageRangingColumnsTitlesLower);
    flush_line(lib_);
    lines_on_page_ = 0;
  }

  void limiting(std::int32_t reference) {
    const std::string text = limiting_name(record_, reference) + " " + limiting_status(record_, reference);
    put_text(lib_, text.data(), static_cast<int>(text.size()));
  }

  void lines(std::int32_t v, bool rows) {
    const auto vv = static_cast<std::size_t>(v);
    const std::uint32_t word = record_.status[vv] & 0xFFFFu;
    const ReportedRange q = reported_range(record_, vv);
    print_message(lib_, kMessageLine);
    put_variable_start(lib_, word, rows ? v + 1 : v - record_.rows + 1, record_.name[vv], record_.lower[vv],
                       record_.upper[vv]);
    put_real(lib_, q.activity);
    put_real(lib_, q.lower_activity);
    put_real(lib_, q.lower_unit_cost);
    put_real(lib_, q.upper_cost);
    limiting(q.limiting1);
    flush_line(lib_);

    static const std::string blanks(12, ' ');
    print_message(lib_, kMessageLine);
    put_text(lib_, blanks.data(), 1);
    put_text(lib_, blanks.data(), 6);
    put_text(lib_, blanks.data(), 8);
    put_text(lib_, blanks.data(), 2);
    put_text(lib_, blanks.data(), 12);
    put_real(lib_, q.upper_activity);
    put_real(lib_, q.upper_unit_cost);
    put_real(lib_, q.lower_cost);
    limiting(q.limiting2);
    flush_line(lib_);
  }

  Library& lib_;
  const RangeRecord& record_;
  std::int32_t page_ = 21;
  std::int32_t lines_on_page_ = 0;
};

}  // namespace

std::int32_t print_ranges(Library& lib, PrintDestination destination) {
  lib.begin_operation();
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  RangeRecord record;
  if (!read_range_file(lib, record) || record.rows != lib.problem->row_slots() ||
      record.columns != lib.problem->columns) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
    return lib.err.return_code;
  }
  RangePrinter printer(lib, record);
  return print_to(lib, destination, "rrt", [&] {
    printer.summary();
    printer.section(true);
    printer.section(false);
  });
}

}  // namespace kqopt
