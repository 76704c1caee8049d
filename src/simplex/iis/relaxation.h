// Relaxing and restoring rows and column bounds of the loaded problem for the
// infeasibility analysis.
//
// A relaxed variable has no bounds: its status word carries the relaxed flag and the
// free bit (the at-upper and fixed bits go), a relaxed row's type code gets the free
// type bit (read as 'N'), and its bounds in the model become infinite, since the working
// LP is built from them. Restoring brings back the bounds, the free and fixed bits and
// the row type as they were when the relaxation was set up; a nonbasic variable that
// then has no finite lower bound stands at its upper bound.
#pragma once

#include <cstdint>
#include <vector>

namespace kqopt {

struct Problem;

namespace iis_flag {
inline constexpr std::uint32_t kMember = 0x08000;   // member of an infeasible set found so far
inline constexpr std::uint32_t kRelaxed = 0x10000;  // bounds taken away for the current test
}  // namespace iis_flag

class Relaxation {
 public:
  // Records the bounds, status words, row types and objective of p as they stand.
  explicit Relaxation(Problem& p);

  void relax(std::int32_t v);
  void restore(std::int32_t v);
  bool relaxed(std::int32_t v) const;
  // Free in the problem as loaded (never relaxed nor a member).
  bool originally_free(std::int32_t v) const;

  // Every relaxation removed, the objective put back and the analysis flags cleared:
  // the problem as recorded, but for the basis held in the status words.
  void restore_problem();

 private:
  Problem& p_;
  std::vector<double> lower_;
  std::vector<double> upper_;
  std::vector<std::uint32_t> words_;
  std::vector<std::uint8_t> row_types_;
  std::vector<double> objective_;
};

}  // namespace kqopt
