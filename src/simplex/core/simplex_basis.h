// The basis and basic solution the simplex methods work on and leave behind.
//
// header[p] is the variable basic in position p (after INVERT, position p is the
// pivot row of that variable); position[j] is j's position or -1 when nonbasic;
// status[j] says where a variable stands; x[j] its value: the bound it sits at when
// nonbasic (0 for a free nonbasic variable), the basic value otherwise.
#pragma once

#include <cstdint>
#include <vector>

#include "simplex/core/working_lp.h"

namespace kqopt {

enum class VariableStatus : std::int8_t { basic, at_lower, at_upper, at_zero };

struct SimplexBasis {
  std::vector<std::int32_t> header;
  std::vector<std::int32_t> position;
  std::vector<VariableStatus> status;
  std::vector<double> x;

  // Every logical basic, every column nonbasic at a finite bound (lower first) or at
  // zero when free.
  void set_all_logical(const WorkingLp& lp);
  // Rebuilds position from header.
  void index_positions(std::int32_t variables);
  // Puts nonbasic variables exactly at the bound their status names.
  void place_nonbasic(const WorkingLp& lp);
  bool matches(const WorkingLp& lp) const {
    return static_cast<std::int32_t>(header.size()) == lp.rows &&
           static_cast<std::int32_t>(status.size()) == lp.variables();
  }
};

// The nonbasic position a variable takes by default: its finite lower bound, else its
// finite upper bound, else zero.
VariableStatus default_nonbasic_status(double lower, double upper);

}  // namespace kqopt
