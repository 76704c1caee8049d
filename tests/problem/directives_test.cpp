// Branching directives: defaults after a global load, loading with each check, and
// reading them back.
#include "problem/directives.h"

#include <gtest/gtest.h>

#include "problem/problem_fixtures.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

struct Read {
  std::int32_t ndir = 0;
  std::int32_t mcols[8] = {};
  std::int32_t mpri[8] = {};
  char qbr[8] = {};
  double dupc[8] = {};
  double ddpc[8] = {};
};

Read read(Library& lib) {
  Read r;
  EXPECT_EQ(get_directives(lib, &r.ndir, r.mcols, r.mpri, r.qbr, r.dupc, r.ddpc), 0);
  return r;
}

TEST(Directives, DefaultsAfterAGlobalLoad) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  Read r = read(t.lib());
  ASSERT_EQ(r.ndir, 6);
  EXPECT_EQ(std::vector<std::int32_t>(r.mcols, r.mcols + 6), (std::vector<std::int32_t>{-1, -2, 0, 1, 2, 3}));
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(r.mpri[k], 500);
    EXPECT_EQ(r.qbr[k], 'N');
    EXPECT_EQ(r.dupc[k], static_cast<double>(0.01f));
    EXPECT_EQ(r.ddpc[k], static_cast<double>(0.01f));
  }
  EXPECT_EQ(t->problem->entities[2].priority_word, 8000);
}

TEST(Directives, LoadAndReadBack) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  const std::int32_t mcols[] = {3, -2, 0};
  const std::int32_t mpri[] = {10, 2000, 1000};
  const char qbr[] = {'U', 'D', 'N'};
  const double up[] = {1.5, 2.5, 0.1};
  ASSERT_EQ(load_directives(t.lib(), DirectiveEntry::kPlain, 3, mcols, mpri, qbr, up, nullptr), 0);
  EXPECT_TRUE(t.printed("2000"));  // message 76 with the value; 500 is used
  Read r = read(t.lib());
  EXPECT_EQ(r.mpri[5], 10);
  EXPECT_EQ(r.qbr[5], 'U');
  EXPECT_EQ(r.dupc[5], 1.5);
  EXPECT_EQ(r.ddpc[5], static_cast<double>(0.01f));  // null array: unchanged
  EXPECT_EQ(r.mpri[1], 500);
  EXPECT_EQ(r.qbr[1], 'D');
  EXPECT_EQ(r.mpri[2], 1000);
  EXPECT_EQ(r.dupc[2], static_cast<double>(0.1f));  // single precision
  EXPECT_EQ(t->problem->entities[5].priority_word, 16 * 10 + 1);
}

TEST(Directives, OneDirectiveForAll) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  const std::int32_t mpri[] = {7};
  const char qbr[] = {'D'};
  ASSERT_EQ(load_directives(t.lib(), DirectiveEntry::kPlain, -1, nullptr, mpri, qbr, nullptr, nullptr), 0);
  Read r = read(t.lib());
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(r.mpri[k], 7);
    EXPECT_EQ(r.qbr[k], 'D');
  }
}

TEST(Directives, NullColumnsTakeTheEntitiesInOrder) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  const std::int32_t mpri[] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(load_directives(t.lib(), DirectiveEntry::kPlain, 8, nullptr, mpri, nullptr, nullptr, nullptr), 0);
  Read r = read(t.lib());
  EXPECT_EQ(std::vector<std::int32_t>(r.mpri, r.mpri + 6), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(Directives, Checks) {
  struct Case {
    const char* what;
    std::int32_t ndir;
    std::vector<std::int32_t> mcols;
    std::vector<char> qbr;
    std::int32_t rc;
    std::int32_t error;
    std::vector<std::int32_t> priorities;  // of entities 0..5 afterwards
  };
  const Case cases[] = {
      {"not a column (405)", 2, {0, 6}, {'U', 'U'}, 32, 405, {500, 500, 1, 500, 500, 500}},
      {"not an entity (247), skipped", 2, {4, 1}, {'U', 'U'}, 0, 0, {500, 500, 500, 2, 500, 500}},
      {"no such set (247), skipped", 2, {-3, 1}, {'U', 'U'}, 0, 0, {500, 500, 500, 2, 500, 500}},
      {"bad direction (409) stops", 3, {0, 1, 2}, {'U', 'X', 'U'}, 32, 409, {500, 500, 1, 500, 500, 500}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TestLibrary t;
    ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
    const std::int32_t mpri[] = {1, 2, 3};
    EXPECT_EQ(
        load_directives(t.lib(), DirectiveEntry::kPlain, c.ndir, c.mcols.data(), mpri, c.qbr.data(), nullptr, nullptr),
        c.rc);
    EXPECT_EQ(t->err.error_number, c.error);
    Read r = read(t.lib());
    EXPECT_EQ(std::vector<std::int32_t>(r.mpri, r.mpri + 6), c.priorities);
  }
}

TEST(Directives, NeedAProblemWithEntities) {
  test::TestLibrary t;
  EXPECT_EQ(load_directives(t.lib(), DirectiveEntry::kPlain, -1, nullptr, nullptr, nullptr, nullptr, nullptr), 32);
  EXPECT_EQ(t->err.error_number, 91);
  ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  EXPECT_EQ(load_directives(t.lib(), DirectiveEntry::kPlain, -1, nullptr, nullptr, nullptr, nullptr, nullptr), 32);
  EXPECT_EQ(t->err.error_number, 91);
  std::int32_t ndir = -1;
  EXPECT_EQ(get_directives(t.lib(), &ndir, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(ndir, 0);
}

TEST(Directives, OnlyTheInternalFormDuringAGlobalSearch) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  t->global_search_active = true;
  const std::int32_t mpri[] = {9};
  EXPECT_EQ(load_directives(t.lib(), DirectiveEntry::kPlain, -1, nullptr, mpri, nullptr, nullptr, nullptr), 32);
  EXPECT_EQ(t->err.error_number, 287);
  EXPECT_EQ(load_directives(t.lib(), DirectiveEntry::kInternal, -1, nullptr, mpri, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(read(t.lib()).mpri[0], 9);
}

}  // namespace
}  // namespace kqopt
