// Names in the eight-character fields of the solution and range files and of the text
// files made from them: a loaded problem whose names use more than eight characters
// (NAMLEN above 8) has them cut to their first eight there, and the writers of the text
// files say so, naming the file, rather than leave the cut unnoticed.
#pragma once

#include <string>

namespace kqopt {

struct Library;
struct Problem;

inline constexpr int kNameFieldWidth = 8;

// True when some row or column name of problem has a character past the eighth.
bool names_exceed_field(const Problem& problem);

// The warning (message NamesCut with the file name) when the loaded problem's names do
// not fit the file's eight-character fields; nothing when no problem is loaded.
void warn_if_names_cut(Library& lib, const std::string& file);

}  // namespace kqopt
