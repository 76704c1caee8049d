// Branching directives of the global entities: a priority word (16 × priority +
// direction; direction 0 none, 1 up first, 2 down first) and single-precision up and
// down pseudo-costs per entity, loaded by KQLOADDIR / KQILOADDIR and read by KQGETDIR.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

enum class DirectiveEntry { kPlain, kInternal };  // KQLOADDIR, KQILOADDIR

// Applies ndir directives. mcols[i] is a column index (index base applies) or −k for
// set k; a negative ndir applies the first element of each given array to every
// entity; a null mcols with ndir ≥ 0 gives directive i to entity i. Null mpri: priority
// 500; null qbr: no direction; null dupc / ddpc: pseudo-costs unchanged.
// Errors: 91 no problem or no entities; 287 KQLOADDIR during a global search; 405 a
// column index that denotes no column; 409 a bad direction (processing stops, earlier
// directives stay). Warnings: 247 not an entity (skipped), 76 priority outside
// 0..1000 (500 used).
std::int32_t load_directives(Library& lib, DirectiveEntry entry, std::int32_t ndir, const std::int32_t* mcols,
                             const std::int32_t* mpri, const char* qbr, const double* dupc, const double* ddpc);

// KQGETDIR: *ndir the number of entities; per entity its column (index base applies)
// or −k for set k, priority, direction 'U', 'D' or 'N', and pseudo-costs. Null output
// arrays are skipped. Error 91 when no problem is loaded.
std::int32_t get_directives(Library& lib, std::int32_t* ndir, std::int32_t* mcols, std::int32_t* mpri, char* qbr,
                            double* dupc, double* ddpc);

}  // namespace kqopt
