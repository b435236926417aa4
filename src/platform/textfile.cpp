#include "platform/textfile.h"

namespace Q {

std::FILE* OpenFile8(const char* path, const char* mode) {
  if (path == nullptr) return nullptr;
#ifdef _WIN32
  return std::fopen(path, mode);
#else
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return std::fopen(native.c_str(), mode);
#endif
}

TextFileReader::TextFileReader(const char* path, bool ctrlZEndsText)
    : file_(OpenFile8(path, "rb")), ctrlZEndsText_(ctrlZEndsText) {}

TextFileReader::~TextFileReader() {
  if (file_ != nullptr) std::fclose(file_);
}

int TextFileReader::Next() {
  if (pushed_ != kNone) {
    int c = pushed_;
    pushed_ = kNone;
    return c;
  }
  if (ended_ || file_ == nullptr) return EOF;
  int c = std::fgetc(file_);
  if (c == EOF || (ctrlZEndsText_ && c == 0x1A)) {
    ended_ = true;
    return EOF;
  }
  return c;
}

TextFileReader::Result TextFileReader::ReadLine(std::string& line, std::size_t maxBytes) {
  line.clear();
  int c = Next();
  if (c == EOF) return Result::kEnd;
  for (; c != EOF && c != '\n'; c = Next()) {
    if (c == '\r') {
      int after = Next();
      if (after == '\n') break;
      if (after != EOF) pushed_ = after;
    }
    if (line.size() == maxBytes) {
      ended_ = true;
      pushed_ = kNone;
      return Result::kTooLong;
    }
    line.push_back(static_cast<char>(c));
  }
  return Result::kLine;
}

}  // namespace Q
