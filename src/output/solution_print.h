// The solution printed row by row and column by column, from the solution file: on
// the screen (command PRINT) or into the print file "<problem>.prt" (KQFPRINT,
// command FPRINT).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kqopt {

struct Library;

enum class PrintDestination { kScreen, kPrintFile };

// Returns the return code: 32 with message 91 when no problem has been optimised,
// message 80 when the print file cannot be opened, message 122 when the solution
// file cannot be read.
std::int32_t print_solution(Library& lib, PrintDestination destination);

struct SolutionRecord;

// The summary line heading a print: problem name, status character, objective and
// iterations of the record.
void put_summary(Library& lib, const SolutionRecord& record);

// The start of a print line for one row or column: '*' when it lies outside its bounds,
// its number, its name and its status (BS, EQ, UL, FR or LL).
void put_variable_start(Library& lib, std::uint32_t status_word, std::int32_t number, const std::string& name,
                        double lower, double upper);

// Runs print with its output on the screen or, for kPrintFile, in the print file
// "<problem>.<extension>", which replaces the previous one only once it is complete; a
// print file asked for is written whatever IFPMSG says of the screen (with messages off
// it would otherwise be left empty). Returns the return code: message 80 when the print
// file cannot be created (print is then not run), 83 when it could not be written.
std::int32_t print_to(Library& lib, PrintDestination destination, const char* extension,
                      const std::function<void()>& print);

}  // namespace kqopt
