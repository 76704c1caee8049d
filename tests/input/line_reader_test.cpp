// The line reader: line ends, carriage returns, Ctrl-Z, cut lines, buffer boundaries,
// and the stack of open files.
#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_library.h"

namespace kqopt::input {
namespace {

std::vector<std::string> all_lines(std::string_view text, std::vector<bool>* cut = nullptr) {
  LineReader reader;
  reader.open_text(text);
  std::vector<std::string> lines;
  while (reader.next() == LineReader::Next::kLine) {
    lines.emplace_back(reader.line());
    if (cut) cut->push_back(reader.cut());
  }
  return lines;
}

TEST(LineReader, LineEnds) {
  EXPECT_EQ(all_lines("a\nb\r\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(all_lines("a\r\rb\n"), (std::vector<std::string>{"ab"}));
  EXPECT_EQ(all_lines(""), (std::vector<std::string>{}));
  EXPECT_EQ(all_lines("\n"), (std::vector<std::string>{""}));
}

TEST(LineReader, CtrlZEndsTheInput) {
  EXPECT_EQ(all_lines(std::string("a\nbc\x1a"
                                  "d\ne\n")),
            (std::vector<std::string>{"a", "bc"}));
  EXPECT_EQ(all_lines(std::string("a\n\x1a"
                                  "b\n")),
            (std::vector<std::string>{"a"}));
}

TEST(LineReader, LongLinesAreCutAt200) {
  std::string text = std::string(1000000, 'x') + "\nshort\n" + std::string(200, 'y') + "\n";
  std::vector<bool> cut;
  auto lines = all_lines(text, &cut);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(200, 'x'));
  EXPECT_TRUE(cut[0]);
  EXPECT_EQ(lines[1], "short");
  EXPECT_FALSE(cut[1]);
  EXPECT_EQ(lines[2].size(), 200u);
  EXPECT_FALSE(cut[2]);
}

TEST(LineReader, LinesAcrossBufferBoundaries) {
  std::string text;
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    std::string line = std::to_string(i) + std::string(static_cast<std::size_t>(i % 37), '-') + (i % 3 ? "\r" : "");
    text += line + "\n";
    if (!line.empty() && line.back() == '\r') line.pop_back();
    expected.push_back(line);
  }
  EXPECT_EQ(all_lines(text), expected);
  LineReader reader;
  reader.open_text(text);
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(reader.next(), LineReader::Next::kLine);
  EXPECT_EQ(reader.line_number(), 20000);
  EXPECT_EQ(reader.next(), LineReader::Next::kEnd);
}

TEST(LineReader, DirectoriesAndMissingFilesDoNotOpen) {
  LineReader reader;
  EXPECT_FALSE(reader.open_file("/"));
  EXPECT_FALSE(reader.open_file("no-such-file.mps"));
  EXPECT_FALSE(reader.is_open());
}

TEST(InputFiles, AtMostTwoOpen) {
  InputFiles files;
  EXPECT_EQ(files.push_text("a\n"), InputFiles::Open::kOk);
  EXPECT_EQ(files.push_text("b\n"), InputFiles::Open::kOk);
  EXPECT_EQ(files.push_text("c\n"), InputFiles::Open::kTooDeep);
  EXPECT_EQ(files.depth(), 2);
  ASSERT_EQ(files.top().next(), LineReader::Next::kLine);
  EXPECT_EQ(files.top().line(), "b");
  files.pop();
  ASSERT_EQ(files.top().next(), LineReader::Next::kLine);
  EXPECT_EQ(files.top().line(), "a");
  EXPECT_EQ(files.push_file("no-such-file.mps"), InputFiles::Open::kCannotOpen);
  EXPECT_EQ(files.depth(), 1);
}

TEST(InputFiles, InterruptStopsReading) {
  test::TestLibrary t;
  InputFiles files;
  ASSERT_EQ(files.push_text("a\nb\n"), InputFiles::Open::kOk);
  EXPECT_EQ(next_input_line(t.lib(), files), LineResult::kLine);
  t->user_interrupt = 1;
  EXPECT_EQ(next_input_line(t.lib(), files), LineResult::kInterrupted);
  EXPECT_EQ(t->user_interrupt, 0);
  EXPECT_EQ(next_input_line(t.lib(), files), LineResult::kLine);
  EXPECT_EQ(next_input_line(t.lib(), files), LineResult::kEnd);
}

}  // namespace
}  // namespace kqopt::input
