// The directives file: per global entity, the branching priority, the preferred
// direction and the up and down pseudo-costs, one directive a line. Each read starts
// every entity afresh (priority 500, no direction, pseudo-costs RTOLPS times the
// objective scale), so a file replaces what an earlier one set.
//
// Lines: comments ('*' first) and empty lines are skipped. Fixed layout (FREFMT 0): the
// type in columns 1-4 (" PR ", " UP ", " DN ", " PU ", " PD "), the entity name from
// column 5 (8k characters, k from NAMLEN), the value from column 25 + 8(k - 1). Free
// layout: the tokens type, name and value. A name is a column's (column entities) or a
// set's; '?' matches any one character and '*' the rest of the name.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

// KQDIRECTIVES: reads the file `name` ("dir" appended when it has no extension).
// Errors (32): 91 no problem or no entities, 287 a search in progress (the entry guard
// answers calls from its callbacks first, with 438), 38 the file does not open.
// Warnings (the line is ignored): 142 an unknown type, 143 no entity of that name, 76 a
// priority outside 0..1000. Reading stops at an invalid number (314) or a read error
// (9); what was read stays in force.
std::int32_t read_directives_file(Library& lib, const char* name);

}  // namespace kqopt
