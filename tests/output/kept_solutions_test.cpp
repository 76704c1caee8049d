// The solutions a global search keeps (IPKEEP) in text: a knapsack searched worse
// branch first finds several improving solutions; KQTOASC with the letter e turns the
// kept files the search wrote into hd0/as0, hd1/as1, and each pair gives that file's
// values: the header its objective and the global flag, the records its integral
// activities, each solution worse than the one kept after it.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "global/search/search.h"
#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "output/ascii_solution.h"
#include "output/solution_codec.h"
#include "problem/problem.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

namespace fs = std::filesystem;

// max sum v_i x_i, sum w_i x_i <= 111, x binary: searched worse branch first, it finds
// solutions of 317, 318 and 320.
std::string knapsack() {
  const int value[] = {18, 46, 58, 14, 26, 17, 41, 58, 38, 40, 51, 34};
  const int weight[] = {30, 11, 8, 20, 5, 17, 18, 24, 29, 29, 5, 27};
  std::string text =
      "NAME          KNAP\nROWS\n N  OBJ\n L  CAP\nCOLUMNS\n    MARKER    'MARKER'                 'INTORG'\n";
  char line[96];
  for (int j = 0; j < 12; ++j) {
    std::snprintf(line, sizeof line, "    X%-7d  OBJ       %-12d   CAP       %d\n", j, value[j], weight[j]);
    text += line;
  }
  text += "    MARKER    'MARKER'                 'INTEND'\nRHS\n    RHS       CAP       111\nBOUNDS\n";
  for (int j = 0; j < 12; ++j) {
    std::snprintf(line, sizeof line, " UP BND       X%-7d  1\n", j);
    text += line;
  }
  return text + "ENDATA\n";
}

std::vector<std::vector<std::string>> records(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::vector<std::string>> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    std::vector<std::string> fields;
    std::stringstream ss(text.substr(at, end - at));
    std::string f;
    while (std::getline(ss, f, ',')) fields.push_back(f);
    out.push_back(fields);
    at = end + 2;
  }
  return out;
}

bool decode_file(const fs::path& p, SolutionRecord& r) {
  std::ifstream in(p, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  return decode_solution(std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()), r);
}

TEST(KeptSolutions, SearchFilesConvertedToText) {
  const fs::path previous = fs::current_path();
  const fs::path dir = fs::temp_directory_path() / ("kqopt-kept-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::current_path(dir);
  {
    test::TestLibrary t;
    t->controls.i(icv::ITRLOG) = 0;
    t->controls.i(icv::GPRINT) = 0;
    std::ofstream("knap.mps") << knapsack();
    ASSERT_EQ(input::input_problem(t.lib(), "knap.mps"), 0);
    set_problem_name(t.lib(), "knap");
    ASSERT_EQ(optimise(t.lib(), DriverMode::kMaximise), 0);
    t->controls.i(icv::IPKEEP) = 3;
    t->controls.i(icv::KCRITM) = -1;
    t->controls.i(icv::IFINTP) = 7 | 8;  // no diving heuristic: it finds the optimum at once
    ASSERT_EQ(run_global_search(t.lib()), 0);
    const std::int32_t solutions = *t->attributes.int_attribute(attr::kIntegerSolutions);
    ASSERT_GE(solutions, 3) << "the test wants a search that improves its solution twice";
    ASSERT_TRUE(fs::exists("knap.so0"));
    ASSERT_TRUE(fs::exists("knap.so1"));

    t->options.fill(false);
    t->options[static_cast<std::size_t>('e' - 'a')] = true;
    ASSERT_EQ(write_ascii_solution(t.lib(), ""), 0);
    t->options.fill(false);

    // The kept files and the best one, in the order the search found them: the older
    // kept file is the one the next solution's turn would overwrite.
    std::vector<double> objectives;
    for (const char* k : {"0", "1"}) {
      SCOPED_TRACE(std::string("kept solution ") + k);
      SolutionRecord kept;
      ASSERT_TRUE(decode_file(std::string("knap.so") + k, kept));
      const auto header = records(std::string("knap.hd") + k);
      ASSERT_EQ(header.size(), 1u);
      ASSERT_EQ(header[0].size(), 14u);
      EXPECT_EQ(header[0][0], "\"knap    \"");
      EXPECT_EQ(std::stoi(header[0][5]), 2);   // maximised
      EXPECT_EQ(std::stoi(header[0][12]), 1);  // from a search
      EXPECT_NEAR(std::stod(header[0][8]), kept.objective, 1.0e-5 * std::max(1.0, std::fabs(kept.objective)));
      const auto lines = records(std::string("knap.as") + k);
      ASSERT_EQ(lines.size(), static_cast<std::size_t>(t->problem->rows + t->problem->columns));
      double total = 0.0;
      for (std::int32_t j = 0; j < t->problem->columns; ++j) {
        const auto& f = lines[static_cast<std::size_t>(t->problem->rows + j)];
        const double x = std::stod(f[4]);
        const auto v = static_cast<std::size_t>(t->problem->row_slots() + j);
        EXPECT_NEAR(x, kept.value[v], 1.0e-5);
        EXPECT_NEAR(x, std::round(x), 1.0e-6) << "column " << j;
        total += std::stod(f[5]) * x;
      }
      EXPECT_NEAR(total, kept.objective, 1.0e-6);
      EXPECT_LE(std::stod(lines[1][4]), 111.0 + 1.0e-6);  // CAP activity within capacity
      objectives.push_back(kept.objective);
    }
    SolutionRecord best;
    ASSERT_TRUE(decode_file("knap.sol", best));
    EXPECT_NEAR(best.objective, *t->attributes.double_attribute(attr::kIncumbentObjective), 1.0e-9);
    for (double o : objectives) EXPECT_LT(o, best.objective);
    EXPECT_NE(objectives[0], objectives[1]);
  }
  fs::current_path(previous);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kqopt
