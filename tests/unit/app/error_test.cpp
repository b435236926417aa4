#include "app/error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/computer.h"
#include "text/coredict.h"
#include "test_files.h"

namespace {

sim::SimSystem& System() { return sim::Active()->system(); }

class ErrorTest : public testing::Test {
 protected:
  void SetUp() override { Q::ResetCoreDictionaryForTesting(); }
  void TearDown() override { Q::ResetCoreDictionaryForTesting(); }
};

TEST_F(ErrorTest, MarkerFormCarriesNoSystemText) {
  struct Case {
    const wchar_t* text;
    const wchar_t* message;
  } cases[] = {
      {L"Object Is NULL!", L"!!: Object Is NULL!"},
      {L"", L"!!: "},
      {L"100%s done %n", L"!!: 100%s done %n"},
      {nullptr, L"!!: "},
  };
  for (const Case& c : cases) {
    auto* error = new Q::TError(c.text);
    EXPECT_EQ(0, error->HasSystemText);
    EXPECT_STREQ(c.message, error->Message);
    Q::ShowError(error);
  }
  ASSERT_EQ(4u, System().Boxes().size());
  for (const auto& box : System().Boxes()) {
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONERROR), box.type);
    EXPECT_EQ(nullptr, box.owner);
  }
  EXPECT_EQ(L"!!: Object Is NULL!", System().Boxes()[0].text);
}

TEST_F(ErrorTest, SystemTextFormShowsMessageAndSystemText) {
  System().SetLastError(ERROR_ACCESS_DENIED);
  auto* error = new Q::TError(L"Getting Computer Name failed!", true);
  EXPECT_EQ(1, error->HasSystemText);
  EXPECT_STREQ(L"Getting Computer Name failed!", error->Message);
  EXPECT_STREQ(L"Access is denied.\r\n Error: 5", error->SystemText);
  // Allocated by the system from its own table, default language, no inserts.
  const auto calls = sim::Active()->log().Of("FormatMessageW");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ((std::vector<std::wstring>{L"0x3100", L"5", L"0"}), calls[0].args);
  Q::ShowError(error);
  ASSERT_EQ(1u, System().Boxes().size());
  EXPECT_EQ(L"Getting Computer Name failed!\nAccess is denied.\r\n Error: 5",
            System().Boxes()[0].text);
  EXPECT_EQ(0, System().OutstandingLocalAllocations());
}

TEST_F(ErrorTest, UnknownCodeGivesTheFallbackText) {
  auto* error = new Q::TError(L"x", false);
  Q::GetErrorText(error, 424242);
  EXPECT_STREQ(L"GetErrorText Failed!", error->SystemText);
  Q::ReleaseError(error);
}

TEST_F(ErrorTest, TranslatedFormatIsAppliedSafely) {
  testsupport::TempDir dir;
  const std::string pad(20, ' ');  // the message's own padding
  // A translator's format with its own order, a stray %s and a %n must not be handed to
  // a printf-style function.
  // The message buffer keeps its first translation for the run: whether an earlier test
  // trimmed it or not, one of the two keys matches.
  const std::string value = "===Code %d: %s %s %n\n";
  std::string path =
      dir.Write("corelang.dic", "%s Error: %d" + pad + value + "%s Error: %d" + value);
  Q::LoadCoreDictionary(path.c_str());
  auto* error = new Q::TError(L"x", false);
  Q::GetErrorText(error, ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(L"Code 2: The system cannot find the file specified.\r\n %s %n", error->SystemText);
  Q::ReleaseError(error);
}

TEST_F(ErrorTest, LongTextsAreCutToTheBoxBuffer) {
  System().SetErrorText(77, std::wstring(3000, L'e'));
  System().SetLastError(77);
  auto* error = new Q::TError(std::wstring(2000, L'm').c_str(), true);
  EXPECT_EQ(1023u, std::wcslen(error->SystemText));
  Q::ShowError(error);
  ASSERT_EQ(1u, System().Boxes().size());
  EXPECT_EQ(1023u, System().Boxes()[0].text.size());
  EXPECT_EQ(0, System().OutstandingLocalAllocations());
}

}  // namespace
