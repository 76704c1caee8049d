// kqbench: solves a list of MPS files through the public API and prints, per problem,
// one CSV line (problem, status, objective, relative error against the reference,
// iterations, seconds), then a summary: solved count (status optimal and error at
// most 1e-6) and the shifted geometric mean of seconds (shift 1 s).
//
// usage: kqbench [-m p|d|b] [-r optimal.csv] [-c peer.csv] [-t seconds] [-i n=v]... [-d n=v]... [--cpu] [--max]
//                [--check] [--presolve] [--steps] [--objective-line] file.mps ...
//
// -i n=v sets integer control n to v before each problem is read (e.g. -i 10=0: IFSCAL 0);
// -d n=v sets double control n to v likewise (e.g. -d 6=1e-7: ZTCOST);
// -c peer.csv compares each objective with a peer's (the CSV of run-peers, e.g. CLP's dual:
//    bench/clp_objectives.sh) and adds the relative difference |ours - peer| / max(1, |peer|);
//    the summary counts the problems above 1e-9 where both report optimal;
// --cpu measures the seconds as processor time of this process instead of elapsed time;
// --check adds the largest primal and dual infeasibility of the returned solution in the
//    caller's units, measured here from the problem as retrieved (not taken from the solver);
//    the summary counts the optimal solutions with either above the default tolerances (1e-6);
// --presolve adds the rows, columns and elements presolve removed, the iterations of
// the clean-up after postsolve, and the free rows (objective rows among them) and
// their elements within the rows and elements removed.
// --steps adds the shares of the simplex time per iteration step (pricing, BTRAN, pivot
//    row, FTRAN, ratio test, update, INVERT), in percent;
// --objective-line adds a line "objective VALUE" per problem, the form that the peer
// comparison script reads.
// --peer-solutions DIR measures a peer's solution of each problem as --check measures ours,
//    from DIR/<problem>.bin in the binary layout of `clp FILE -dualsimplex -saveSolution F`
//    (rows and columns as two ints, the objective, then row activities, row duals, column
//    values and reduced costs as doubles): adds the peer's objective recomputed as c.x plus
//    the constant (taken from ours), full digits, and its largest primal and dual infeasibility (NaN when the
//    file is missing or does not fit the problem). bench/clp_solutions.sh writes the files.
// --save-solutions DIR writes our solution of each problem to DIR/<problem>.bin in the same
//    layout (every row of ours, the objective rows included), for checks outside.
//
// The driver links the library's core statically (for --steps, which reads the engine's
// step clock); the message file is found through TARKEN, set to the build's output
// directory unless the caller set it.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "api/library_instance.h"
#include "kqopt.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_setup.h"

namespace {

std::map<std::string, double> read_reference(const std::string& path) {
  std::map<std::string, double> reference;
  std::ifstream in(path);
  std::string line;
  int value_column = -1;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) fields.push_back(field);
    if (value_column < 0) {
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == "optimal_objective") value_column = static_cast<int>(i);
      }
      continue;
    }
    if (static_cast<int>(fields.size()) > value_column && !fields[static_cast<std::size_t>(value_column)].empty()) {
      reference[fields[0]] = std::strtod(fields[static_cast<std::size_t>(value_column)].c_str(), nullptr);
    }
  }
  return reference;
}

std::string problem_name(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') + 1);
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".mps") == 0) base.resize(base.size() - 4);
  return base;
}

const char* status_text(int32_t status) {
  switch (status) {
    case 1:
      return "optimal";
    case 2:
      return "infeasible";
    case 4:
      return "unfinished";
    case 5:
      return "unbounded";
    default:
      return "error";
  }
}

// Objectives of a peer from the CSV of run-peers (problem,solver,method,status,objective,...):
// only the optimal ones.
std::map<std::string, double> read_peer(const std::string& path) {
  std::map<std::string, double> peer;
  std::ifstream in(path);
  std::string line;
  int status_column = -1, objective_column = -1;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) fields.push_back(field);
    if (objective_column < 0) {
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == "status") status_column = static_cast<int>(i);
        if (fields[i] == "objective") objective_column = static_cast<int>(i);
      }
      continue;
    }
    const auto oc = static_cast<std::size_t>(objective_column);
    if (fields.size() <= oc || fields[oc].empty()) continue;
    if (status_column >= 0 && fields[static_cast<std::size_t>(status_column)] != "optimal") continue;
    peer[fields[0]] = std::strtod(fields[oc].c_str(), nullptr);
  }
  return peer;
}

struct Infeasibility {
  double primal = 0.0;  // largest bound violation of a column or a row activity
  double dual = 0.0;    // largest reduced cost (of a column or a row's logical) of the wrong sign
};

// The solution of the loaded problem as KQSOLUTION returns it, checked against the problem
// as the retrieval routines return it, all in the caller's units. Activities a.x and
// reduced costs c - a^T y are recomputed here. A variable strictly inside its bounds must
// have a zero reduced cost; at its lower (upper) bound a nonnegative (nonpositive) one:
// a minimisation. Row i's logical s = rhs - a.x lies in [0, inf) for 'L', (-inf, 0] for
// 'G', [0, 0] for 'E', [0, range] for 'R', and has reduced cost -y_i.
// x and y are the column values and row prices, ours (KQSOLUTION) when empty.
Infeasibility measure_solution(std::vector<double> x = {}, std::vector<double> y = {}) {
  Infeasibility worst;
  int32_t rows = 0, columns = 0, elements = 0;
  KQGETIPV(1001, &rows);
  KQGETIPV(1018, &columns);
  if (rows <= 0 || columns <= 0) return worst;
  if (x.empty()) {
    x.resize(static_cast<std::size_t>(columns));
    y.resize(static_cast<std::size_t>(rows));
    KQSOLUTION(x.data(), nullptr, y.data(), nullptr);
  }
  if (x.size() != static_cast<std::size_t>(columns) || y.size() != static_cast<std::size_t>(rows))
    return Infeasibility{NAN, NAN};
  std::vector<double> cost(static_cast<std::size_t>(columns)), lower(cost.size()), upper(cost.size());
  std::vector<double> rhs(static_cast<std::size_t>(rows)), range(rhs.size());
  std::vector<char> type(rhs.size() + 1);
  KQGETOBJ(cost.data(), 0, columns - 1);
  KQGETBDL(lower.data(), 0, columns - 1);
  KQGETBDU(upper.data(), 0, columns - 1);
  KQGETRHS(rhs.data(), 0, rows - 1);
  KQGETRNG(range.data(), 0, rows - 1);
  KQGETROWTYPE(type.data(), 0, rows - 1);
  KQGETCOLS(nullptr, nullptr, nullptr, 0, &elements, 0, columns - 1);
  std::vector<int32_t> start(static_cast<std::size_t>(columns) + 1), index(static_cast<std::size_t>(elements));
  std::vector<double> value(static_cast<std::size_t>(elements));
  KQGETCOLS(start.data(), index.data(), value.data(), elements, &elements, 0, columns - 1);

  // Sign test of reduced cost d for a variable at v in [l, u]; "at a bound" allows for
  // the rounding of recomputed row activities. A fixed variable takes any sign.
  const auto dual_violation = [](double v, double l, double u, double d) {
    if (l == u) return 0.0;
    const bool at_lower = l > -1e30 && v <= l + 1e-7 * (1.0 + std::fabs(l));
    const bool at_upper = u < 1e30 && v >= u - 1e-7 * (1.0 + std::fabs(u));
    if (at_lower && at_upper) return 0.0;
    if (at_lower) return std::max(0.0, -d);
    if (at_upper) return std::max(0.0, d);
    return std::fabs(d);
  };
  std::vector<double> activity(static_cast<std::size_t>(rows), 0.0);
  for (int32_t j = 0; j < columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    double d = cost[jj];
    for (int32_t k = start[jj]; k < start[jj + 1]; ++k) {
      const auto i = static_cast<std::size_t>(index[static_cast<std::size_t>(k)]);
      activity[i] += value[static_cast<std::size_t>(k)] * x[jj];
      d -= value[static_cast<std::size_t>(k)] * y[i];
    }
    if (lower[jj] > -1e30) worst.primal = std::max(worst.primal, lower[jj] - x[jj]);
    if (upper[jj] < 1e30) worst.primal = std::max(worst.primal, x[jj] - upper[jj]);
    worst.dual = std::max(worst.dual, dual_violation(x[jj], lower[jj], upper[jj], d));
  }
  for (int32_t i = 0; i < rows; ++i) {
    const auto ii = static_cast<std::size_t>(i);
    double l = 0.0, u = 0.0;
    switch (type[ii]) {
      case 'L':
        u = 1e31;
        break;
      case 'G':
        l = -1e31;
        break;
      case 'R':
        u = range[ii];
        break;
      case 'E':
        break;
      default:
        continue;
    }
    const double s = rhs[ii] - activity[ii];
    if (l > -1e30) worst.primal = std::max(worst.primal, l - s);
    if (u < 1e30) worst.primal = std::max(worst.primal, s - u);
    worst.dual = std::max(worst.dual, dual_violation(s, l, u, -y[ii]));
  }
  return worst;
}

// A peer's solution in the binary layout described at --peer-solutions: column values x
// and row duals y; false when the file is missing or short.
bool read_peer_solution(const std::string& path, std::vector<double>& x, std::vector<double>& y) {
  std::ifstream in(path, std::ios::binary);
  int32_t rows = 0, columns = 0;
  double objective = 0.0;
  if (!in.read(reinterpret_cast<char*>(&rows), sizeof rows) ||
      !in.read(reinterpret_cast<char*>(&columns), sizeof columns) || rows < 0 || columns < 0 ||
      !in.read(reinterpret_cast<char*>(&objective), sizeof objective)) {
    return false;
  }
  std::vector<double> activity(static_cast<std::size_t>(rows));
  y.resize(static_cast<std::size_t>(rows));
  x.resize(static_cast<std::size_t>(columns));
  const auto read = [&](std::vector<double>& v) {
    return static_cast<bool>(in.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(v.size() * 8)));
  };
  return read(activity) && read(y) && read(x);
}

// The peer leaves out the objective row, and maybe every free row, that our problem keeps:
// y spread over our rows, the ones left out priced 0. False when the counts do not fit.
bool place_peer_rows(std::vector<double>& y) {
  int32_t rows = 0;
  KQGETIPV(1001, &rows);
  if (rows <= 0) return false;
  std::vector<char> type(static_cast<std::size_t>(rows) + 1);
  KQGETROWTYPE(type.data(), 0, rows - 1);
  std::int64_t free_rows = 0;
  for (int32_t i = 0; i < rows; ++i) free_rows += type[static_cast<std::size_t>(i)] == 'N';
  const auto peer_rows = static_cast<std::int64_t>(y.size());
  const bool all_free_left_out = peer_rows == rows - free_rows;
  if (!all_free_left_out && peer_rows != rows - std::min<std::int64_t>(free_rows, 1)) return false;
  std::vector<double> placed(static_cast<std::size_t>(rows), 0.0);
  std::size_t next = 0;
  bool first_free = true;
  for (int32_t i = 0; i < rows; ++i) {
    if (type[static_cast<std::size_t>(i)] == 'N' && (all_free_left_out || first_free)) {
      first_free = false;
      continue;
    }
    placed[static_cast<std::size_t>(i)] = y[next++];
  }
  y = std::move(placed);
  return true;
}

// Our solution in the layout read by read_peer_solution.
void save_solution(const std::string& path, double objective) {
  int32_t rows = 0, columns = 0;
  KQGETIPV(1001, &rows);
  KQGETIPV(1018, &columns);
  if (rows <= 0 || columns <= 0) return;
  std::vector<double> x(static_cast<std::size_t>(columns)), dj(x.size());
  std::vector<double> slack(static_cast<std::size_t>(rows)), y(slack.size()), rhs(slack.size());
  KQSOLUTION(x.data(), slack.data(), y.data(), dj.data());
  KQGETRHS(rhs.data(), 0, rows - 1);
  for (std::size_t i = 0; i < slack.size(); ++i) slack[i] = rhs[i] - slack[i];  // the activity
  std::ofstream out(path, std::ios::binary);
  const auto put = [&](const void* data, std::size_t bytes) {
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(bytes));
  };
  put(&rows, sizeof rows);
  put(&columns, sizeof columns);
  put(&objective, sizeof objective);
  put(slack.data(), slack.size() * 8);
  put(y.data(), y.size() * 8);
  put(x.data(), x.size() * 8);
  put(dj.data(), dj.size() * 8);
}

// c.x in the caller's units.
double cost_of(const std::vector<double>& x) {
  std::vector<double> cost(x.size());
  if (x.empty()) return NAN;
  KQGETOBJ(cost.data(), 0, static_cast<int32_t>(x.size()) - 1);
  double sum = 0.0;
  for (std::size_t j = 0; j < x.size(); ++j) sum += cost[j] * x[j];
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  std::string method = "p";
  std::string reference_path;
  int time_limit = 0;
  bool maximise = false;
  bool cpu_time = false;
  bool objective_line = false;
  bool check = false;
  bool steps = false;
  bool presolve_figures = false;
  std::string peer_path;
  std::string peer_solutions;
  std::string save_solutions;
  std::vector<std::string> files;
  std::vector<std::pair<int32_t, int32_t>> integer_controls;
  std::vector<std::pair<int32_t, double>> double_controls;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-m") == 0 && i + 1 < argc)
      method = argv[++i];
    else if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc)
      reference_path = argv[++i];
    else if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc)
      peer_path = argv[++i];
    else if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc)
      time_limit = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "-i") == 0 && i + 1 < argc) {
      const char* setting = argv[++i];
      const char* equals = std::strchr(setting, '=');
      if (equals == nullptr) {
        std::fprintf(stderr, "kqbench: -i wants n=v, not %s\n", setting);
        return 1;
      }
      integer_controls.emplace_back(std::atoi(setting), std::atoi(equals + 1));
    } else if (std::strcmp(argv[i], "-d") == 0 && i + 1 < argc) {
      const char* setting = argv[++i];
      const char* equals = std::strchr(setting, '=');
      if (equals == nullptr) {
        std::fprintf(stderr, "kqbench: -d wants n=v, not %s\n", setting);
        return 1;
      }
      double_controls.emplace_back(std::atoi(setting), std::strtod(equals + 1, nullptr));
    } else if (std::strcmp(argv[i], "--cpu") == 0) {
      cpu_time = true;
    } else if (std::strcmp(argv[i], "--max") == 0) {
      maximise = true;
    } else if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
    } else if (std::strcmp(argv[i], "--presolve") == 0) {
      presolve_figures = true;
    } else if (std::strcmp(argv[i], "--steps") == 0) {
      steps = true;
    } else if (std::strcmp(argv[i], "--peer-solutions") == 0 && i + 1 < argc) {
      peer_solutions = argv[++i];
    } else if (std::strcmp(argv[i], "--save-solutions") == 0 && i + 1 < argc) {
      save_solutions = argv[++i];
    } else if (std::strcmp(argv[i], "--objective-line") == 0) {
      objective_line = true;
    } else {
      files.emplace_back(argv[i]);
    }
  }
  const auto reference = reference_path.empty() ? std::map<std::string, double>{} : read_reference(reference_path);
  const auto peer = peer_path.empty() ? std::map<std::string, double>{} : read_peer(peer_path);
  const std::string options = method == "p" ? "" : method;
#ifdef KQBENCH_MESSAGE_DIR
  setenv("TARKEN", KQBENCH_MESSAGE_DIR, 0);
#endif
  // Solution files go to a scratch directory, not beside the problem files.
  char scratch_template[] = "/tmp/kqbench-XXXXXX";
  const char* scratch = mkdtemp(scratch_template);
  if (scratch == nullptr) {
    std::fprintf(stderr, "kqbench: no scratch directory\n");
    return 1;
  }

  const bool barrier = method.find('b') != std::string::npos;
  std::printf("problem,status,objective,relative_error,iterations,seconds%s%s%s%s%s%s\n",
              barrier ? ",barrier_iterations,primal_pushes,dual_pushes" : "",
              peer_path.empty() ? "" : ",peer_difference", check ? ",primal_infeasibility,dual_infeasibility" : "",
              presolve_figures
                  ? ",rows_removed,columns_removed,elements_removed,cleanup_iterations,free_rows,free_row_elements"
                  : "",
              steps ? ",pricing%,btran%,pivot_row%,ftran%,ratio_test%,update%,invert%" : "",
              peer_solutions.empty() ? "" : ",peer_objective,peer_primal_infeasibility,peer_dual_infeasibility");
  int solved = 0;
  int compared = 0, disagreeing = 0;
  int checked = 0, primal_above = 0, dual_above = 0;
  double worst_primal = 0.0, worst_dual = 0.0;
  std::vector<double> step_total(7, 0.0);
  double log_sum = 0.0;
  for (const std::string& file : files) {
    if (KQINITLZ(nullptr, 0) != 0) {
      std::fprintf(stderr, "kqbench: the library could not start\n");
      return 1;
    }
    KQSETICV(9, 0);   // ITRLOG: final line only
    KQSETICV(35, 0);  // IFPMSG: no messages
    if (time_limit > 0) KQSETICV(20, -time_limit);
    for (const auto& [control, value] : integer_controls) KQSETICV(control, value);
    for (const auto& [control, value] : double_controls) KQSETDCV(control, value);
    const std::string name = problem_name(file);
    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    int32_t rc = KQINPUT(file.c_str());
    int32_t status = 0, iterations = 0;
    double objective = 0.0;
    const std::string scratch_name = std::string(scratch) + "/" + name;
    KQSETPROB(scratch_name.c_str());
    if (steps) kqopt::engine_of(kqopt::the_library()).time_steps = true;
    if (rc == 0 || rc == 32) {
      rc = maximise ? KQMAXIM(options.c_str()) : KQMINIM(options.c_str());
      // The attributes outlive a failed optimisation (and a restart of the library):
      // read them only after a successful one.
      if (rc == 0) {
        KQGETIPV(1010, &status);
        KQGETIPV(1009, &iterations);
        KQGETDPV(2001, &objective);
      }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu_time) seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    double error = NAN;
    auto it = reference.find(name);
    if (it != reference.end()) error = std::fabs(objective - it->second) / std::max(1.0, std::fabs(it->second));
    const bool ok = status == 1 && (it == reference.end() || error <= 1e-6);
    if (ok) ++solved;
    log_sum += std::log(seconds + 1.0);
    std::printf("%s,%s,%.10g,%.3g,%d,%.3f", name.c_str(), rc != 0 && status == 0 ? "error" : status_text(status),
                objective, error, iterations, seconds);
    if (barrier) {
      const auto& engine = kqopt::engine_of(kqopt::the_library());
      std::printf(",%d,%d,%d", engine.barrier_iterations, engine.crossover_pushes, engine.crossover_dual_pushes);
    }
    if (!peer_path.empty()) {
      auto p = peer.find(name);
      double difference = NAN;
      if (p != peer.end()) difference = std::fabs(objective - p->second) / std::max(1.0, std::fabs(p->second));
      if (p != peer.end() && status == 1) {
        ++compared;
        if (!(difference <= 1e-9)) ++disagreeing;
      }
      std::printf(",%.3g", difference);
    }
    if (check) {
      const Infeasibility inf = status == 1 ? measure_solution() : Infeasibility{NAN, NAN};
      if (status == 1) {
        ++checked;
        if (!(inf.primal <= 1e-6)) ++primal_above;
        if (!(inf.dual <= 1e-6)) ++dual_above;
        worst_primal = std::max(worst_primal, inf.primal);
        worst_dual = std::max(worst_dual, inf.dual);
      }
      std::printf(",%.3g,%.3g", inf.primal, inf.dual);
    }
    if (presolve_figures) {
      const kqopt::EngineState& engine = kqopt::engine_of(kqopt::the_library());
      std::printf(",%d,%d,%lld,%lld,%d,%lld", engine.presolve_rows_removed, engine.presolve_columns_removed,
                  static_cast<long long>(engine.presolve_elements_removed),
                  static_cast<long long>(engine.cleanup_iterations), engine.presolve_free_rows_removed,
                  static_cast<long long>(engine.presolve_free_row_elements_removed));
    }
    if (steps) {
      const std::vector<double>& shares = kqopt::engine_of(kqopt::the_library()).step_seconds;
      double sum = 0.0;
      for (double t : shares) sum += t;
      for (std::size_t k = 0; k < 7; ++k) {
        const double t = k < shares.size() ? shares[k] : 0.0;
        step_total[k] += t;
        std::printf(",%.1f", sum > 0.0 ? 100.0 * t / sum : 0.0);
      }
    }
    if (!peer_solutions.empty()) {
      std::vector<double> x, y;
      bool read = read_peer_solution(peer_solutions + "/" + name + ".bin", x, y);
      if (read) read = place_peer_rows(y);
      const Infeasibility inf = read ? measure_solution(x, y) : Infeasibility{NAN, NAN};
      // The objective constant is what our objective holds beyond c.x of our solution.
      double peer_objective = NAN;
      if (read && !std::isnan(inf.primal) && rc == 0) {
        std::vector<double> ours(x.size());
        KQSOLUTION(ours.data(), nullptr, nullptr, nullptr);
        peer_objective = cost_of(x) + (objective - cost_of(ours));
      }
      std::printf(",%.15g,%.3g,%.3g", peer_objective, inf.primal, inf.dual);
    }
    if (!save_solutions.empty() && rc == 0) save_solution(save_solutions + "/" + name + ".bin", objective);
    std::printf("\n");
    if (objective_line && status == 1) std::printf("objective %.15g\n", objective);
    std::fflush(stdout);
    KQFREEXO();
    std::remove((scratch_name + ".sol").c_str());
  }
  rmdir(scratch);
  const double mean = files.empty() ? 0.0 : std::exp(log_sum / static_cast<double>(files.size())) - 1.0;
  std::printf("# solved %d of %zu, shifted geometric mean of seconds %.3f\n", solved, files.size(), mean);
  if (!peer_path.empty())
    std::printf("# against the peer: %d compared (both optimal), %d differ by more than 1e-9\n", compared, disagreeing);
  if (check) {
    std::printf(
        "# checked %d optimal: %d with a primal and %d with a dual infeasibility above 1e-6; largest %.3g and "
        "%.3g\n",
        checked, primal_above, dual_above, worst_primal, worst_dual);
  }
  if (steps) {
    double sum = 0.0;
    for (double t : step_total) sum += t;
    std::printf(
        "# step shares over all problems (%%): pricing %.1f, btran %.1f, pivot row %.1f, ftran %.1f, ratio "
        "test %.1f, update %.1f, invert %.1f\n",
        100.0 * step_total[0] / sum, 100.0 * step_total[1] / sum, 100.0 * step_total[2] / sum,
        100.0 * step_total[3] / sum, 100.0 * step_total[4] / sum, 100.0 * step_total[5] / sum,
        100.0 * step_total[6] / sum);
  }
  return 0;
}
