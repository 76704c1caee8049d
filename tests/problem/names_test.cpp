// Name tables: default names by position, stored names, lookup and widths.
#include "problem/names.h"

#include <gtest/gtest.h>

namespace kqopt {
namespace {

TEST(Names, DefaultNames) {
  struct Case {
    char prefix;
    std::int64_t number;
    const char* name;
  };
  const Case cases[] = {{'V', 7, "VVVVVVV7"},       {'V', 123, "VVVVV123"},      {'V', 999999, "VV999999"},
                        {'V', 1000000, "V1000000"}, {'V', 12345678, "12345678"}, {'S', 1, "SSVVVVV1"},
                        {'S', 40, "SSVVVV40"}};
  for (const Case& c : cases) {
    char out[8];
    default_name(c.prefix, c.number, out);
    EXPECT_EQ(std::string(out, 8), c.name) << c.number;
  }
}

TEST(Names, TableStoresOnlyWhenNamed) {
  NameTable t(5, 2, 'V');
  EXPECT_FALSE(t.has_storage());
  EXPECT_EQ(t.width(), 16);
  EXPECT_EQ(t.trimmed(4), "VVVVVVV5");
  char field[16];
  t.copy_name(0, field);
  EXPECT_EQ(std::string(field, 16), "VVVVVVV1        ");
  t.set(2, "A_NAME_OF_SEVENTEEN");
  EXPECT_TRUE(t.has_storage());
  EXPECT_EQ(t.trimmed(2), "A_NAME_OF_SEVENT");
  EXPECT_EQ(t.trimmed(3), "VVVVVVV4");
  EXPECT_EQ(t.find("VVVVVVV4        ", 0, 5), 3);
  EXPECT_EQ(t.find("VVVVVVV4        ", 0, 3), -1);
  EXPECT_EQ(t.find("VVVVVVV4", 0, 5), -1);  // keys are compared at full width
  t.append_default(2);
  EXPECT_EQ(t.size(), 7);
  EXPECT_EQ(t.trimmed(6), "VVVVVVV7");
}

TEST(Names, WordsFromNamlen) {
  EXPECT_EQ(name_words_for_length(8), 1);
  EXPECT_EQ(name_words_for_length(9), 2);
  EXPECT_EQ(name_words_for_length(16), 2);
  EXPECT_EQ(name_words_for_length(0), 1);
}

}  // namespace
}  // namespace kqopt
