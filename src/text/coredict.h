// The core message dictionary ("corelang.dic"): the program's own messages are padded,
// writable wide buffers translated in place and trimmed of their trailing blanks.
#pragma once

#include <cstddef>

namespace Q {

// Fills the process-wide dictionary from the file at `path` the first time it is called;
// later calls change nothing. Returns the loaded flag (1).
int LoadCoreDictionary(const char* path);

// Translates the message in `buffer` (never past its own length) and trims trailing
// blanks. Returns `buffer`.
wchar_t* TranslateInPlace(wchar_t* buffer);

// Empties the dictionary, clears the loaded flag and puts every declared message back to
// its padded literal (tests only).
void ResetCoreDictionaryForTesting();

// Declared messages register themselves so that a test can restore them.
class MessageRegistration {
 public:
  MessageRegistration(wchar_t* buffer, const wchar_t* literal, std::size_t width);
  ~MessageRegistration();
  MessageRegistration(const MessageRegistration&) = delete;
  MessageRegistration& operator=(const MessageRegistration&) = delete;
  void Restore();

 private:
  wchar_t* buffer_;
  const wchar_t* literal_;
  std::size_t width_;
};

// The width a message literal of `length` characters is padded to, leaving room for
// longer translations.
constexpr std::size_t PaddedWidth(std::size_t length) {
  return length < 20 ? length + 20 : length * 2;
}

// A writable message buffer: the literal followed by blanks up to Width characters.
// Declare one with Q_MESSAGE; it keeps its translation for the rest of the run.
template <std::size_t Width>
class PaddedMessage {
 public:
  template <std::size_t N>
  explicit PaddedMessage(const wchar_t (&literal)[N]) : registration_(text_, literal, Width) {
    static_assert(N - 1 <= Width, "message literal wider than its buffer");
    registration_.Restore();
  }
  PaddedMessage(const PaddedMessage&) = delete;
  PaddedMessage& operator=(const PaddedMessage&) = delete;

  // Translates (once effective, as the buffer keeps its result) and returns the text.
  wchar_t* Translate() { return TranslateInPlace(text_); }
  wchar_t* Buffer() { return text_; }

 private:
  wchar_t text_[Width + 1];
  MessageRegistration registration_;
};

}  // namespace Q

// Declares a static padded message buffer `name` holding `literal` (a wide literal).
#define Q_MESSAGE(name, literal) \
  static ::Q::PaddedMessage<::Q::PaddedWidth(sizeof(literal) / sizeof(wchar_t) - 1)> name(literal)
