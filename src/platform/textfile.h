// Line reading with the C runtime's text-mode rules, the same in both builds: a carriage
// return directly before a line feed is dropped, and (optionally) a Ctrl-Z byte ends the
// readable text. Paths are 8-bit; the native build accepts backslashes as separators.
#pragma once

#include <cstdio>
#include <string>

namespace Q {

// Opens a file by an 8-bit path in binary mode (backslashes become slashes natively).
std::FILE* OpenFile8(const char* path, const char* mode);

class TextFileReader {
 public:
  enum class Result { kLine, kEnd, kTooLong };

  TextFileReader(const char* path, bool ctrlZEndsText);
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // Reads the next line without its line end into `line`. kTooLong when the line holds
  // more than `maxBytes` bytes before its line feed (the rest of the file is not read);
  // kEnd at the end of the readable text or on a read error.
  Result ReadLine(std::string& line, std::size_t maxBytes);

 private:
  int Next();

  std::FILE* file_;
  bool ctrlZEndsText_;
  bool ended_ = false;
  static constexpr int kNone = -2;
  int pushed_ = kNone;
};

}  // namespace Q
