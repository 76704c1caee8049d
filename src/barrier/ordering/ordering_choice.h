// The choice of fill-reducing ordering: the ordering code of the factor maps to a method
// (approximate minimum degree, minimum local fill or the natural order) and the method
// is run on the symmetric structure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "barrier/ordering/aat_structure.h"
#include "barrier/ordering/min_degree.h"

namespace kqopt::barrier {

enum class OrderingKind { kNatural, kApproximateMinDegree, kMinLocalFill };

// Ordering code (0..4) to method number: 3 gives 1, 1 gives 2, 2 gives 4, 0 gives 5,
// 4 gives 6, anything else 3.
std::int32_t ordering_method(std::int32_t code);
OrderingKind ordering_kind(std::int32_t method);

// Elimination order of the structure for the ordering code: order[k] is the node
// eliminated k-th. A structure without off-diagonal entries keeps the natural order.
std::vector<std::int32_t> order_structure(const Adjacency& g, std::int32_t code, MinDegreeStats* stats = nullptr,
                                          std::FILE* log = nullptr);

}  // namespace kqopt::barrier
