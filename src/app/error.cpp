#include "app/error.h"

#include <cwchar>
#include <string>

#include "platform/system.h"
#include "text/coredict.h"
#include "text/safe_format.h"

namespace Q {
namespace {

const wchar_t kMarker[] = L"!!: ";

wchar_t* CopyOf(const std::wstring& text) {
  auto* copy = new wchar_t[text.size() + 1];
  text.copy(copy, text.size());
  copy[text.size()] = L'\0';
  return copy;
}

// Copies `text` into a fixed buffer of `capacity` characters, cutting it if needed.
void CopyBounded(wchar_t* out, std::size_t capacity, const std::wstring& text) {
  const std::size_t n = text.size() < capacity ? text.size() : capacity - 1;
  text.copy(out, n);
  out[n] = L'\0';
}

}  // namespace

TError::TError(const wchar_t* text) : HasSystemText(0), Message(nullptr) {
  SystemText[0] = L'\0';
  Message = CopyOf(std::wstring(kMarker) + (text ? text : L""));
}

TError::TError(const wchar_t* text, bool withSystemText)
    : HasSystemText(withSystemText ? 1 : 0), Message(nullptr) {
  SystemText[0] = L'\0';
  Message = CopyOf(text ? text : L"");
  if (withSystemText) GetErrorText(this, 0);
}

TError::~TError() { delete[] Message; }

void GetErrorText(TError* error, unsigned code) {
  Q_MESSAGE(kFailed, L"GetErrorText Failed!");
  Q_MESSAGE(kFormat, L"%s Error: %d");
  if (error == nullptr) return;
  const unsigned c = code != 0 ? code : Sys().GetLastError();
  wchar_t* systemText = nullptr;
  const DWORD n = Sys().FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, c, 0, reinterpret_cast<LPWSTR>(&systemText), 0, nullptr);
  if (n == 0 || systemText == nullptr) {
    CopyBounded(error->SystemText, TError::kSystemTextChars, kFailed.Translate());
  } else {
    CopyBounded(error->SystemText, TError::kSystemTextChars,
                SafeFormat(kFormat.Translate(), {systemText}, {static_cast<int>(c)}));
  }
  if (systemText != nullptr) Sys().LocalFree(systemText);
}

void ShowError(TError* error) {
  if (error == nullptr) return;
  const wchar_t* message = error->Message ? error->Message : L"";
  if (error->HasSystemText == 1) {
    wchar_t composed[TError::kSystemTextChars];
    CopyBounded(composed, TError::kSystemTextChars,
                std::wstring(message) + L"\n" + error->SystemText);
    Sys().MessageBoxW(nullptr, composed, L"Error", MB_TASKMODAL | MB_ICONERROR);
  } else {
    Sys().MessageBoxW(nullptr, message, L"Error", MB_TASKMODAL | MB_ICONERROR);
  }
  ReleaseError(error);
}

void ReleaseError(TError* error) {
  if (error == nullptr) return;
  delete[] error->Message;
  error->Message = nullptr;
  delete error;
}

}  // namespace Q
