// The one library state behind the exported entry points.
#pragma once

#include "library/library.h"

namespace kqopt {

Library& the_library();

}  // namespace kqopt
