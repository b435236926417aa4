#include "ui/InformForm.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/computer.h"
#include "sim/version_resource.h"

namespace {

std::vector<std::wstring> VerQueries() {
  std::vector<std::wstring> out;
  for (const sim::Call& call : sim::Active()->log().Of("VerQueryValueA")) out.push_back(call.args[0]);
  return out;
}

TEST(InformationForm, VersionFromTheResourceWithTranslation0409And04E4) {
  Q::TInformationForm form(nullptr);
  EXPECT_EQ(L"Version: 1.0.0.1", form.ProdVer->Caption());
  // The string table is named by language, then code page, in lower-case hex digits.
  EXPECT_EQ((std::vector<std::wstring>{L"\\VarFileInfo\\Translation",
                                       L"\\StringFileInfo\\040904e4\\FileVersion"}),
            VerQueries());
  // The size and the block are asked for the program's own file.
  auto sizeCalls = sim::Active()->log().Of("GetFileVersionInfoSizeA");
  ASSERT_EQ(1u, sizeCalls.size());
  EXPECT_EQ(L"C:\\Program Files\\Pelmora\\pelmora.exe", sizeCalls[0].args[0]);
}

TEST(InformationForm, OtherTranslationNamesItsOwnTable) {
  sim::Active()->system().SetVersionResource(
      sim::BuildVersionResource({{L"FileVersion", L"2.5.0.7"}}, 0x0407, 0x04B0));
  Q::TInformationForm form(nullptr);
  EXPECT_EQ(L"Version: 2.5.0.7", form.ProdVer->Caption());
  EXPECT_EQ(L"\\StringFileInfo\\040704b0\\FileVersion", VerQueries().back());
}

TEST(InformationForm, MissingOrUnreadableVersionGivesAnEmptyVersionText) {
  struct Case {
    const char* what;
    std::function<void(sim::Computer&)> arrange;
  } cases[] = {
      {"no resource", [](sim::Computer& c) { c.system().SetVersionResource({}); }},
      {"read fails",
       [](sim::Computer& c) { c.failures().Fail("GetFileVersionInfoA", ERROR_ACCESS_DENIED); }},
      {"query fails",
       [](sim::Computer& c) { c.failures().Fail("VerQueryValueA", ERROR_ACCESS_DENIED); }},
      {"no FileVersion",
       [](sim::Computer& c) {
         c.system().SetVersionResource(
             sim::BuildVersionResource({{L"ProductName", L"x"}}, 0x0409, 0x04E4));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Computer computer;
    computer.Install();
    c.arrange(computer);
    Q::TInformationForm form(nullptr);
    EXPECT_EQ(L"Version: ", form.ProdVer->Caption());
  }
}

TEST(InformationForm, DesignAndHideOnClick) {
  Q::TInformationForm form(nullptr);
  EXPECT_EQ(Q::bsNone, form.BorderStyle);
  EXPECT_EQ(452, form.Width());
  EXPECT_EQ(199, form.Height());
  EXPECT_EQ(Q::clSilver, form.Color());
  EXPECT_EQ(L"R$ 0703", form.relisLabel->Caption());
  EXPECT_FALSE(form.autorLabel->Caption().empty());
  EXPECT_EQ(L"Information", form.InformLabel->Caption());
  EXPECT_EQ(Q::taRightJustify, form.InformLabel->Alignment);
  EXPECT_EQ(384, form.InformLabel->Left());
  EXPECT_EQ(124, form.InformLabel->Top());
  EXPECT_FALSE(form.ButtonOK->Visible());
  EXPECT_EQ(L"X", form.ButtonOK->Caption());
  EXPECT_TRUE(form.ButtonOK->Font().Bold);
  EXPECT_EQ(428, form.ButtonOK->Left());
  // The picture fills the window.
  EXPECT_EQ(452, form.Image1->Width());
  EXPECT_EQ(199, form.Image1->Height());

  form.Show();
  form.Image1->Click();
  EXPECT_FALSE(form.Visible());
  // About box: the button closes it again; the window is hidden, not destroyed.
  form.ButtonOK->Show();
  form.InformLabel->Hide();
  form.Show();
  form.ButtonOK->Click();
  EXPECT_FALSE(form.Visible());
  form.Show();
  EXPECT_TRUE(form.ButtonOK->Visible());
  EXPECT_FALSE(form.InformLabel->Visible());
}

}  // namespace

namespace {

TEST(VersionResource, MalformedBlocksAreRejectedWithoutReadingPastThem) {
  std::vector<BYTE> good = sim::BuildVersionResource({{L"FileVersion", L"1.0.0.1"}}, 0x0409, 0x04E4);
  sim::VersionValue value;
  ASSERT_TRUE(sim::FindVersionValue(good.data(), "\\StringFileInfo\\040904E4\\FileVersion", &value));
  EXPECT_EQ(u"1.0.0.1", value.utf16);
  EXPECT_FALSE(sim::FindVersionValue(good.data(), "\\StringFileInfo\\040704b0\\FileVersion", &value));
  // Corrupt lengths: the root claims less than its header, or a child more than its parent.
  for (std::size_t cut : {std::size_t{4}, std::size_t{40}, good.size() / 2}) {
    std::vector<BYTE> bad = good;
    bad[0] = static_cast<BYTE>(cut & 0xFF);
    bad[1] = static_cast<BYTE>(cut >> 8);
    EXPECT_FALSE(sim::FindVersionValue(bad.data(), "\\StringFileInfo\\040904e4\\FileVersion", &value))
        << cut;
  }
  std::vector<BYTE> zeros(64, 0);
  EXPECT_FALSE(sim::FindVersionValue(zeros.data(), "\\VarFileInfo\\Translation", &value));
}

}  // namespace
