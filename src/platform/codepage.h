// Portable text conversions: code page 1252 (the native build's ANSI code page) and
// UTF-16 code units for files whose format is UTF-16LE.
#pragma once

#include <cstddef>
#include <string>

namespace Q {

// Decodes one code page 1252 byte. Every byte has a character (the five bytes the code
// page leaves unassigned give the control characters U+0081, U+008D, U+008F, U+0090 and
// U+009D, as on the platform), so this is always true.
bool Cp1252Decode(unsigned char byte, wchar_t* out);
// Encodes one character; false when code page 1252 has no byte for it.
bool Cp1252Encode(wchar_t ch, unsigned char* out);

// Wide text as UTF-16 code units (surrogate pairs where wchar_t is 32 bits wide), and back.
// Unpaired surrogates are kept as they are, so the round trip of any UTF-16 text is exact.
std::u16string WideToUtf16(const std::wstring& text);
std::wstring Utf16ToWide(const std::u16string& text);

}  // namespace Q
