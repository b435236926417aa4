#include "text/safe_format.h"

namespace Q {

std::wstring SafeFormat(const wchar_t* format, std::initializer_list<const wchar_t*> texts,
                        std::initializer_list<long long> numbers) {
  std::wstring out;
  if (format == nullptr) return out;
  auto text = texts.begin();
  auto number = numbers.begin();
  for (const wchar_t* p = format; *p != L'\0'; ++p) {
    if (p[0] == L'%' && p[1] == L's' && text != texts.end()) {
      if (*text != nullptr) out += *text;
      ++text;
      ++p;
    } else if (p[0] == L'%' && p[1] == L'd' && number != numbers.end()) {
      out += std::to_wstring(*number);
      ++number;
      ++p;
    } else if (p[0] == L'%' && p[1] == L'%') {
      out += L'%';
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace Q
