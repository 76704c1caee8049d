// The problem model: rows, columns, the column-wise matrix, bounds, names and global
// entities, as every subsystem sees them.
#pragma once

namespace kqopt {

struct Problem {};

}  // namespace kqopt
