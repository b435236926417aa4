// The program's error object, thrown by pointer and shown by the standard error box.
#pragma once

namespace Q {

class TError {
 public:
  static constexpr int kSystemTextChars = 1024;

  // Message with marker: the message reads "!!: " followed by `text`.
  explicit TError(const wchar_t* text);
  // Message with system text: the message is `text` verbatim; when `withSystemText` is
  // true the system text is filled from the calling thread's last error.
  TError(const wchar_t* text, bool withSystemText);
  ~TError();
  TError(const TError&) = delete;
  TError& operator=(const TError&) = delete;

  unsigned char HasSystemText;
  wchar_t SystemText[kSystemTextChars];
  wchar_t* Message;
};

// Fills `error`'s system text with the system's description of `code` (0: the calling
// thread's last error) followed by " Error: " and the code, or with the translated
// "GetErrorText Failed!" when the system has no text for it.
void GetErrorText(TError* error, unsigned code);

// The standard error box: shows the message (and the system text, when present) in an
// "Error" box, then releases the message and the object.
void ShowError(TError* error);

// Releases a caught error without showing it.
void ReleaseError(TError* error);

}  // namespace Q
