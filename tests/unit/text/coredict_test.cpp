#include "text/coredict.h"
#include "text/safe_format.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/computer.h"
#include "test_files.h"

namespace {

using testsupport::TempDir;

class CoreDictionaryTest : public testing::Test {
 protected:
  void SetUp() override { Q::ResetCoreDictionaryForTesting(); }
  void TearDown() override { Q::ResetCoreDictionaryForTesting(); }

  void Load(const std::string& bytes) {
    std::string path = dir_.Write("corelang.dic", bytes);
    ASSERT_EQ(1, Q::LoadCoreDictionary(path.c_str()));
  }

  // A writable buffer holding `text` padded with `blanks` blanks.
  static std::wstring Padded(const std::wstring& text, std::size_t blanks) {
    return text + std::wstring(blanks, L' ');
  }
  static std::wstring Translate(std::wstring buffer) {
    Q::TranslateInPlace(&buffer[0]);
    return std::wstring(buffer.c_str());
  }

  TempDir dir_;
};

TEST_F(CoreDictionaryTest, WithoutEntryOnlyTrims) {
  Load("");
  EXPECT_EQ(L"Access to Service denied!", Translate(Padded(L"Access to Service denied!", 15)));
}

TEST_F(CoreDictionaryTest, MissingFileIsEmptyDictionaryAndStillLoaded) {
  EXPECT_EQ(1, Q::LoadCoreDictionary(dir_.File("absent.dic").c_str()));
  EXPECT_EQ(L"Text", Translate(L"Text   "));
  // The flag is set: a later, valid file is not read.
  std::string path = dir_.Write("corelang.dic", "Text===Other\n");
  Q::LoadCoreDictionary(path.c_str());
  EXPECT_EQ(L"Text", Translate(L"Text"));
}

TEST_F(CoreDictionaryTest, LongValueIsCutToMessageLength) {
  const std::wstring key = Padded(L"Access to Service denied!", 15);  // 40 characters
  Load(std::string("Access to Service denied!") + std::string(15, ' ') +
       "===Der Zugriff auf den Dienst wurde leider verweigert, bitte erneut\n");
  const std::wstring result = Translate(key);
  EXPECT_EQ(L"Der Zugriff auf den Dienst wurde leider", result);  // 40 chars minus trailing blank
}

TEST_F(CoreDictionaryTest, ShortValueIsCopiedAndKeepsItsOwnBlanks) {
  Load("Stop failed!   ===Halt!  \n");
  std::wstring buffer = Padded(L"Stop failed!", 3);
  Q::TranslateInPlace(&buffer[0]);
  EXPECT_EQ(L"Halt!  ", std::wstring(buffer.c_str()));
}

TEST_F(CoreDictionaryTest, UnpaddedKeyMatchesOnlyAfterFirstTrim) {
  Load("Access denied!===Zugriff verweigert, leider!\n");
  std::wstring buffer = Padded(L"Access denied!", 10);
  Q::TranslateInPlace(&buffer[0]);
  EXPECT_EQ(L"Access denied!", std::wstring(buffer.c_str()));
  Q::TranslateInPlace(&buffer[0]);
  // Cut to the unpadded length of 14.
  EXPECT_EQ(L"Zugriff verwei", std::wstring(buffer.c_str()));
}

TEST_F(CoreDictionaryTest, FirstLineWinsAndBlanksBelongToKeyAndValue) {
  Load(" Key === V\nKey  ===first\nKey  ===second\nA    ===B===C\n");
  EXPECT_EQ(L" V", Translate(L" Key "));
  EXPECT_EQ(L"first", Translate(L"Key  "));
  EXPECT_EQ(L"B===C", Translate(L"A    "));
}

TEST_F(CoreDictionaryTest, CrLfLinesAndCtrlZ) {
  Load("One===1\r\nTwo===2\r\n\x1AThree===3\n");
  EXPECT_EQ(L"1", Translate(L"One"));
  EXPECT_EQ(L"2", Translate(L"Two"));
  EXPECT_EQ(L"Three", Translate(L"Three"));
}

TEST_F(CoreDictionaryTest, LineLimitEndsTheLoad) {
  // 2046 + 3 + 2046 = 4095 bytes: the longest line that is still read.
  const std::string longestKey(2046, 'k');
  const std::string longestValue(2046, 'x');
  Load("Fits===ok\n" + longestKey + "===" + longestValue + "\nAbove===A\n" +
       std::string(5000, 'y') + "===z\nBelow===B\n");
  EXPECT_EQ(L"ok", Translate(L"Fits"));
  EXPECT_EQ(L"A", Translate(L"Above"));
  EXPECT_EQ(L"Below", Translate(L"Below"));
  EXPECT_TRUE(Translate(std::wstring(2046, L'k')) == std::wstring(2046, L'x'));
}

TEST_F(CoreDictionaryTest, LineOf4096BytesEndsTheLoad) {
  Load("Above===A\n" + std::string(2047, 'k') + "===" + std::string(2046, 'x') +
       "\nBelow===B\n");
  EXPECT_EQ(L"A", Translate(L"Above"));
  EXPECT_EQ(L"Below", Translate(L"Below"));
}

TEST_F(CoreDictionaryTest, BadBytesAndNulsDoNotBreakLoading) {
  std::string bytes = "Good===G\n";
  bytes += std::string("Bad\x81===X\n");                 // unassigned in code page 1252
  bytes += std::string("Nul\0Key===N\n", 12);             // NUL ends the line's text
  bytes += "\xE9t\xE9  ===sum\n";                         // valid 1252 letters
  bytes += "===empty key\n\nno separator\n";
  Load(bytes);
  EXPECT_EQ(L"G", Translate(L"Good"));
  EXPECT_EQ(L"sum", Translate(L"\u00E9t\u00E9  "));
  EXPECT_EQ(L"Nul", Translate(L"Nul"));
  // The platform's code page 1252 gives the five unassigned bytes the control characters
  // of the same value, so such a line is an entry like any other.
  EXPECT_EQ(L"X", Translate(L"Bad\x81"));
  // The empty key translates the empty text to nothing longer than it.
  EXPECT_EQ(L"", Translate(L""));
}

TEST_F(CoreDictionaryTest, LineThatFailsConversionIsSkipped) {
  sim::Active()->failures().Fail("MultiByteToWideChar", ERROR_NO_UNICODE_TRANSLATION, 1);
  Load("Skipped===S\nKept===K\n");
  EXPECT_EQ(L"Skipped", Translate(L"Skipped"));
  EXPECT_EQ(L"K", Translate(L"Kept"));
}

TEST_F(CoreDictionaryTest, SecondLoadChangesNothing) {
  Load("A===1\n");
  std::string other = dir_.Write("other.dic", "A===2\nB===3\n");
  EXPECT_EQ(1, Q::LoadCoreDictionary(other.c_str()));
  EXPECT_EQ(L"1", Translate(L"A"));
  EXPECT_EQ(L"B", Translate(L"B"));
}

TEST(PaddedMessageTest, DeclaredMessageIsPaddedAndKeepsItsTranslation) {
  Q::ResetCoreDictionaryForTesting();
  Q_MESSAGE(kMessage, L"Object Is NULL!");
  EXPECT_EQ(std::wstring(L"Object Is NULL!") + std::wstring(20, L' '),
            std::wstring(kMessage.Buffer()));
  EXPECT_EQ(std::wstring(L"Object Is NULL!"), kMessage.Translate());
  EXPECT_EQ(std::wstring(L"Object Is NULL!"), kMessage.Translate());
}

}  // namespace

namespace {

TEST(SafeFormatTest, FillsOnlyTextAndNumberPlaces) {
  struct Case {
    const wchar_t* format;
    std::wstring expected;
  } cases[] = {
      {L"%s Error: %d", L"Access denied. Error: -5"},
      {L"Code %d: %s", L"Code -5: Access denied."},
      {L"%s and %s", L"Access denied. and %s"},
      {L"%n%x%ls 100%%", L"%n%x%ls 100%"},
      {L"trailing %", L"trailing %"},
      {L"", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, Q::SafeFormat(c.format, {L"Access denied."}, {-5}));
  EXPECT_EQ(L"[] [%s]", Q::SafeFormat(L"[%s] [%s]", {nullptr}));
  EXPECT_EQ(L"", Q::SafeFormat(nullptr, {L"x"}));
}

}  // namespace
