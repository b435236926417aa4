// The simulated computer's code page 1252 against the platform's own table: every byte
// converts to the same character both ways, with and without MB_ERR_INVALID_CHARS.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/codepage.h"

namespace {

TEST(CodePage1252OnWine, EveryByteMatchesThePlatform) {
  for (int b = 1; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    WCHAR platform = 0;
    ASSERT_EQ(1, ::MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, &byte, 1, &platform, 1))
        << "byte " << b;
    wchar_t own = 0;
    ASSERT_TRUE(Q::Cp1252Decode(static_cast<unsigned char>(b), &own)) << "byte " << b;
    EXPECT_EQ(platform, own) << "byte " << b;

    char back = 0;
    BOOL usedDefault = TRUE;
    ASSERT_EQ(1, ::WideCharToMultiByte(1252, 0, &platform, 1, &back, 1, nullptr, &usedDefault));
    EXPECT_FALSE(usedDefault) << "byte " << b;
    unsigned char ownBack = 0;
    ASSERT_TRUE(Q::Cp1252Encode(own, &ownBack)) << "byte " << b;
    EXPECT_EQ(static_cast<unsigned char>(back), ownBack) << "byte " << b;
  }
}

}  // namespace
