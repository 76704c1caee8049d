// Printing the solution: a summary line, then page headings and one line per row
// and per column (message 108), a heading again after every NLINES - 2 lines.
#include "output/solution_print.h"

#include <cstdio>
#include <string>

#include "frame/message_numbers.h"
#include "frame/replacing_file.h"
#include "library/library.h"
#include "output/name_fields.h"
#include "output/solution_file.h"
#include "output/write_failure.h"
#include "problem/problem.h"

namespace kqopt {

namespace {
class Printer {
 public:
  Printer(Library& lib, const SolutionRecord& record) : lib_(lib), record_(record) {
    const std::int32_t lines = lib.controls.i(icv::NLINES);
    page_ = lines > 2 ? lines - 2 : 1;
  }

  void summary() { put_summary(lib_, record_); }

  void section(bool rows) {
    lines_on_page_ = page_;
    const std::int32_t first = rows ? 0 : record_.rows;
    const std::int32_t last = rows ? record_.rows : record_.rows + record_.columns;
    for (std::int32_t v = first; v < last; ++v) {
      const auto vv = static_cast<std::size_t>(v);
      // Spare row slots carry no type and are not shown.
      if (rows && record_.type_or_count[vv] == 0) continue;
      if (lines_on_page_ >= page_) heading(rows);
      line(v, rows);
      ++lines_on_page_;
    }
  }

 private:
  void heading(bool rows) {
    print_message(lib_, rows ? kMessageRowsHeading : kMessageColumnsHeading);
    flush_line(lib_);
    print_message(lib_, rows ? kMessageRowsTitles : kMessageColumnsTitles);
    flush_line(lib_);
    lines_on_page_ = 0;
  }

  void line(std::int32_t v, bool rows) {
    const auto vv = static_cast<std::size_t>(v);
    print_message(lib_, kMessageLine);
    put_variable_start(lib_, record_.status[vv], rows ? v + 1 : v - record_.rows + 1, record_.name[vv],
                       record_.lower[vv], record_.upper[vv]);
    if (rows) {
      put_real(lib_, record_.rhs[vv] - record_.value[vv]);
      put_real(lib_, record_.value[vv]);
      put_real(lib_, record_.rhs[vv]);
      put_real(lib_, record_.dual[vv]);
    } else {
      put_real(lib_, record_.value[vv]);
      put_real(lib_, record_.cost[vv]);
      put_real(lib_, record_.lower[vv]);
      put_real(lib_, record_.upper[vv]);
      // The fifth value goes past the message's fields, two blanks after the fourth.
      put_real(lib_, record_.dual[vv]);
    }
    flush_line(lib_);
  }

  Library& lib_;
  const SolutionRecord& record_;
  std::int32_t page_ = 21;
  std::int32_t lines_on_page_ = 0;
};

}  // namespace

void put_summary(Library& lib, const SolutionRecord& record) {
  print_message(lib, kMessageSummary);
  put_text(lib, record.problem_name.c_str(), static_cast<int>(record.problem_name.size()));
  put_text(lib, &record.status_character, 1);
  put_real(lib, record.objective);
  put_integer(lib, record.iterations, 6);
  flush_line(lib);
}

void put_variable_start(Library& lib, std::uint32_t status_word, std::int32_t number, const std::string& name,
                        double lower, double upper) {
  constexpr std::uint32_t kOutsideBounds = 0x40;
  const char* status = "LL";
  if (status_word & status::kBasic) {
    status = "BS";
  } else if (lower == upper) {
    status = "EQ";
  } else if (status_word & status::kAtUpper) {
    status = "UL";
  } else if (status_word & status::kFree) {
    status = "FR";
  }
  put_text(lib, (status_word & kOutsideBounds) ? "*" : " ", 1);
  put_integer(lib, number, 6);
  put_text(lib, name.data(), static_cast<int>(name.size()));
  put_text(lib, status, 2);
}

std::int32_t print_solution(Library& lib, PrintDestination destination) {
  lib.begin_operation();
  if (!lib.has_problem() || lib.last_lp_outcome == 0) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  SolutionRecord record;
  if (!read_solution_file(lib, record)) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
    return lib.err.return_code;
  }
  Printer printer(lib, record);
  return print_to(lib, destination, "prt", [&] {
    printer.summary();
    printer.section(true);
    printer.section(false);
  });
}

std::int32_t print_to(Library& lib, PrintDestination destination, const char* extension,
                      const std::function<void()>& print) {
  const std::string file = problem_file_name(lib, extension);
  ReplacingFile print_file;
  if (destination == PrintDestination::kPrintFile) {
    if (!print_file.open(file)) {
      report_error(lib, kRcInvalidCall, kMessagePrintFile);
      return lib.err.return_code;
    }
    lib.out.print_file = print_file.stream();
    set_destination(lib, 6);
  }
  const std::int32_t message_switch = lib.controls.i(icv::IFPMSG);
  if (destination == PrintDestination::kPrintFile) lib.controls.i(icv::IFPMSG) = 1;
  print();
  if (destination == PrintDestination::kPrintFile) {
    lib.controls.i(icv::IFPMSG) = message_switch;
    set_destination(lib, 0);
    lib.out.print_file = nullptr;
    if (!print_file.commit()) {
      report_write_failure(lib, print_file.error(), file);
    } else {
      warn_if_names_cut(lib, file);
    }
  }
  flush_notice(lib);
  return lib.err.return_code;
}

}  // namespace kqopt
