#include "ui/emptyform.h"

#include <gtest/gtest.h>

#include <memory>

#include "sim/computer.h"
#include "test_files.h"

namespace {

class EmptyFormTest : public testing::Test {
 protected:
  void SetUp() override {
    Q::ProgramLanguage().ResetForTesting();
    const std::string exe = dir_.File("pelmora.exe");
    sim::Active()->system().SetModulePath(std::wstring(exe.begin(), exe.end()));
    page_.SetBounds(0, 0, 500, 400);
  }
  void TearDown() override { Q::ProgramLanguage().ResetForTesting(); }

  testsupport::TempDir dir_;
  Q::TPanel page_{nullptr};
};

TEST_F(EmptyFormTest, DocksIntoThePageHiddenUntilShown) {
  Q::TFormToDo view(&page_);
  EXPECT_EQ(&page_, view.Parent());
  EXPECT_EQ(&page_, view.Owner());
  EXPECT_EQ(Q::alClient, view.Align());
  EXPECT_FALSE(view.Visible());
  EXPECT_EQ(L"  ToDo", view.LabelName->Caption());
  EXPECT_EQ(L"In develop!", view.Label1->Caption());
  EXPECT_EQ(L"Apply", view.ToolButtonOk->Caption());
  EXPECT_EQ(1, view.ToolButtonOk->ImageIndex());
  EXPECT_EQ(3, view.ToolButtonWizard->ImageIndex());
  EXPECT_EQ(L"Help Me!", view.ToolButtonWizard->Hint());
  EXPECT_EQ(Q::tbsSeparator, view.ToolBar1->Buttons(1)->Style);
  EXPECT_TRUE(view.ActionSetIt->Execute());  // does nothing, and does not fail
}

TEST_F(EmptyFormTest, ShowObjectShowsAnEmptyPage) {
  Q::TFormToDo view(&page_);
  Q::TqObject computer(L"\\\\SIMHOST");
  view.ShowObject(&computer);
  EXPECT_TRUE(view.Visible());
  EXPECT_EQ(500, view.Width());  // fills the page once shown
  EXPECT_EQ(400, view.Height());
  EXPECT_FALSE(view.ToolBar1->Visible());
  EXPECT_FALSE(view.MainPanel->Visible());
  EXPECT_FALSE(view.LabelName->Visible());
  // Nothing of the placeholder text is visible; the status bar lies in the hidden panel.
  EXPECT_FALSE(view.Label1->Showing());
  EXPECT_FALSE(view.StatusBar1->Showing());
  EXPECT_TRUE(view.StatusBar1->SimplePanel());
  EXPECT_EQ(L"\\\\SIMHOST", view.StatusBar1->SimpleText());
  EXPECT_EQ(&computer, view.Object());
  EXPECT_TRUE(sim::Active()->system().Boxes().empty());
}

TEST_F(EmptyFormTest, MissingObjectIsReportedAndHidesTheView) {
  dir_.Write("lang.dic", "Object initialization failed!===Objekt fehlt!\n");
  Q::TFormToDo view(&page_);
  view.ShowObject(nullptr);
  EXPECT_FALSE(view.Visible());
  const auto& boxes = sim::Active()->system().Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"!!: Objekt fehlt!", boxes[0].text);
  EXPECT_EQ(L"Error", boxes[0].caption);
}

TEST_F(EmptyFormTest, DesignedTextsAreTranslated) {
  dir_.Write("lang.dic", "  ToDo===  Zu tun\nHelp Me!===Hilfe!\n");
  Q::TFormToDo view(&page_);
  EXPECT_EQ(L"  Zu tun", view.LabelName->Caption());
  // Tool buttons are reached through their tool bar.
  EXPECT_EQ(L"Hilfe!", view.ToolButtonWizard->Hint());
  view.CloseView();
  EXPECT_FALSE(view.Visible());
}

}  // namespace
