// The stored infinity of the problem model: an input bound at or beyond 1.0E29 in
// magnitude means "no bound" and is stored as 9.999999999999999E29. Loaders, kernels
// and writers all compare against this one value.
#pragma once

namespace kqopt {

inline constexpr double kInfinity = 9.999999999999999e29;
inline constexpr double kInfinityThreshold = 1.0e29;

}  // namespace kqopt
