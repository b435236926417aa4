#include "platform/codepage.h"

namespace Q {
namespace {

// Code points of bytes 0x80..0x9F. The five bytes the code page leaves unassigned (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same value, as the
// platform's own table has them: they convert both ways and are never invalid.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool Cp1252Decode(unsigned char byte, wchar_t* out) {
  if (byte >= 0x80 && byte <= 0x9F) {
    *out = static_cast<wchar_t>(kHigh[byte - 0x80]);
    return true;
  }
  *out = static_cast<wchar_t>(byte);
  return true;
}

bool Cp1252Encode(wchar_t ch, unsigned char* out) {
  const auto code = static_cast<unsigned long>(ch);
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
    *out = static_cast<unsigned char>(ch);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (static_cast<wchar_t>(kHigh[i]) == ch) {
      *out = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

std::u16string WideToUtf16(const std::wstring& text) {
  if constexpr (sizeof(wchar_t) == 2) {
    return std::u16string(text.begin(), text.end());
  } else {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
      auto cp = static_cast<unsigned long>(wc);
      if (cp >= 0x10000 && cp <= 0x10FFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      } else if (cp > 0x10FFFF) {
        out.push_back(u'\xFFFD');
      } else {
        out.push_back(static_cast<char16_t>(cp));
      }
    }
    return out;
  }
}

std::wstring Utf16ToWide(const std::u16string& text) {
  if constexpr (sizeof(wchar_t) == 2) {
    return std::wstring(text.begin(), text.end());
  } else {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      char16_t u = text[i];
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] <= 0xDFFF) {
        unsigned long cp = 0x10000 + ((static_cast<unsigned long>(u) - 0xD800) << 10) +
                           (static_cast<unsigned long>(text[i + 1]) - 0xDC00);
        out.push_back(static_cast<wchar_t>(cp));
        ++i;
      } else {
        out.push_back(static_cast<wchar_t>(u));
      }
    }
    return out;
  }
}

}  // namespace Q
