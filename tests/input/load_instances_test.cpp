// Loading the shared test sets: every Netlib and MIPLIB 3 file of the data directory
// loads, with the sizes that optimal.csv records. Run alone with
//   kqopt_unit_tests --gtest_filter='InstanceLoad*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input/input_problem.h"
#include "library/control_access.h"
#include "library/library.h"
#include "problem/problem.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt::input {
namespace {

struct Instance {
  std::string set;  // "netlib" or "miplib3"
  std::string name;
  std::int32_t rows = 0;  // constraint rows (N rows excluded)
  std::int32_t columns = 0;
  std::int32_t nonzeros = 0;   // constraint-matrix nonzeros
  std::int32_t free_rows = 0;  // N rows, the objective included
  std::int32_t integers = -1;  // MIPLIB: integer columns
};

std::string data_dir() { return test::shared_data_dir(); }

std::vector<std::string> split_csv(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  std::string cell;
  while (std::getline(in, cell, ',')) cells.push_back(cell);
  return cells;
}

std::vector<Instance> read_catalogue(const std::string& set) {
  std::vector<Instance> list;
  std::ifstream in(data_dir() + "/" + set + "/optimal.csv");
  std::string line;
  std::vector<std::string> header;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells = split_csv(line);
    if (header.empty()) {
      header = cells;
      continue;
    }
    auto column = [&](const std::string& key) -> std::string {
      for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i) {
        if (header[i] == key) return cells[i];
      }
      return "";
    };
    Instance x;
    x.set = set;
    x.name = column("name");
    x.rows = std::atoi(column("rows").c_str());
    x.columns = std::atoi(column("cols").c_str());
    x.nonzeros = std::atoi(column("nonzeros").c_str());
    x.free_rows = std::atoi(column("n_rows").c_str());
    if (set == "miplib3") x.integers = std::atoi(column("integers").c_str());
    list.push_back(x);
  }
  return list;
}

std::int32_t attribute(Library& lib, int n) {
  std::int32_t v = -1;
  EXPECT_EQ(get_int_attribute(lib, n, &v), 0);
  return v;
}

void check_instance(const Instance& x) {
  SCOPED_TRACE(x.set + "/" + x.name);
  test::TestLibrary t;
  ASSERT_EQ(set_int_control(t.lib(), icv::IFNRW, 0), 0);
  t->controls.i(icv::PRNLVL) = 0;
  InputDiagnostics diagnostics;
  std::string path = data_dir() + "/" + x.set + "/" + x.name + ".mps";
  std::int32_t rc = input_problem(t.lib(), path.c_str(), &diagnostics);
  if (x.name == "standgub") {
    // One column holds only an explicit zero: reported empty, the problem stays loaded.
    EXPECT_EQ(rc, 32);
    EXPECT_EQ(diagnostics.messages, std::vector<int>{16});
    EXPECT_EQ(diagnostics.faults, 1);
  } else {
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(diagnostics.messages.empty()) << "first message " << diagnostics.messages.front();
  }
  ASSERT_TRUE(t->has_problem());
  EXPECT_EQ(attribute(t.lib(), 1001), x.rows + x.free_rows);
  EXPECT_EQ(attribute(t.lib(), 1018), x.columns);
  EXPECT_EQ(attribute(t.lib(), 1006), x.nonzeros);
  if (x.integers >= 0) {
    EXPECT_EQ(attribute(t.lib(), 1003), x.integers);
    EXPECT_EQ(attribute(t.lib(), 1004), 0);
    std::int32_t integer_columns = 0;
    const Problem& p = *t->problem;
    for (std::int32_t j = 0; j < p.columns; ++j) {
      std::uint32_t word = p.status[static_cast<std::size_t>(p.column_variable(j))];
      if (word & (status::kInteger | status::kBinary)) ++integer_columns;
    }
    EXPECT_EQ(integer_columns, x.integers);
  }
}

TEST(InstanceLoad, Netlib) {
  KQOPT_REQUIRE_SHARED_DATA();
  std::vector<Instance> list = read_catalogue("netlib");
  ASSERT_EQ(list.size(), 86u);
  for (const Instance& x : list) check_instance(x);
}

TEST(InstanceLoad, Miplib3) {
  KQOPT_REQUIRE_SHARED_DATA();
  std::vector<Instance> list = read_catalogue("miplib3");
  ASSERT_EQ(list.size(), 26u);
  for (const Instance& x : list) check_instance(x);
}

// Every .mps file of the data directory is in a catalogue, so none escapes the check.
TEST(InstanceLoad, CataloguesCoverTheFiles) {
  KQOPT_REQUIRE_SHARED_DATA();
  for (const char* set : {"netlib", "miplib3"}) {
    std::vector<Instance> list = read_catalogue(set);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(data_dir() + "/" + set)) {
      if (entry.path().extension() == ".mps") ++files;
    }
    EXPECT_EQ(files, list.size()) << set;
  }
}

}  // namespace
}  // namespace kqopt::input
