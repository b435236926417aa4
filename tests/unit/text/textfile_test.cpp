#include "platform/textfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace {

std::vector<std::string> ReadLines(const std::string& bytes, bool ctrlZ, std::size_t max,
                                   bool* tooLong = nullptr) {
  testsupport::TempDir dir;
  std::string path = dir.Write("f.txt", bytes);
  Q::TextFileReader reader(path.c_str(), ctrlZ);
  std::vector<std::string> lines;
  std::string line;
  Q::TextFileReader::Result r;
  while ((r = reader.ReadLine(line, max)) == Q::TextFileReader::Result::kLine) lines.push_back(line);
  if (tooLong) *tooLong = r == Q::TextFileReader::Result::kTooLong;
  return lines;
}

TEST(TextFileReaderTest, TextModeRules) {
  struct Case {
    std::string bytes;
    bool ctrlZ;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\r\nb\n", false, {"a", "b"}},
      {"a\rb\n", false, {"a\rb"}},
      {"a\r\r\nb", false, {"a\r", "b"}},
      {"last line without end", false, {"last line without end"}},
      {"\n\n", false, {"", ""}},
      {"a\n\x1A" "b\n", true, {"a"}},
      {"a\n\x1A" "b\n", false, {"a", "\x1A" "b"}},
      {"x\r", false, {"x\r"}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.lines, ReadLines(c.bytes, c.ctrlZ, 100)) << testing::PrintToString(c.bytes);
  }
}

TEST(TextFileReaderTest, LineLimitCountsBytesBeforeTheLineFeed) {
  bool tooLong = false;
  EXPECT_EQ(std::vector<std::string>{"abcd"}, ReadLines("abcd\r\nabcde\nz\n", false, 4, &tooLong));
  EXPECT_TRUE(tooLong);
  EXPECT_EQ((std::vector<std::string>{"abcd", "z"}), ReadLines("abcd\nz", false, 4, &tooLong));
  EXPECT_FALSE(tooLong);
}

TEST(TextFileReaderTest, MissingFileReadsNothing) {
  Q::TextFileReader reader("/nonexistent/dir/file.dic", true);
  EXPECT_FALSE(reader.IsOpen());
  std::string line;
  EXPECT_EQ(Q::TextFileReader::Result::kEnd, reader.ReadLine(line, 10));
}

}  // namespace
