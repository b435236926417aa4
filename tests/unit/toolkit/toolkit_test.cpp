#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/error.h"
#include "sim/computer.h"
#include "toolkit/comctrls.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"

namespace {

using namespace Q;

struct Bounds {
  int l, t, w, h;
  bool operator==(const Bounds& o) const { return l == o.l && t == o.t && w == o.w && h == o.h; }
};
Bounds Of(TControl* c) { return {c->Left(), c->Top(), c->Width(), c->Height()}; }

TEST(Components, OwnerDeletesOwnedComponentsAndFindsThemByName) {
  auto* form = new TForm(nullptr);
  auto* a = new TButton(form);
  a->SetName(L"A");
  auto* b = new TLabel(form);
  b->SetName(L"B");
  EXPECT_EQ(2, form->ComponentCount());
  EXPECT_EQ(a, form->Components(0));
  EXPECT_EQ(b, form->Find<TLabel>(L"B"));
  EXPECT_EQ(nullptr, form->Find<TButton>(L"B"));
  delete a;  // leaves its owner's list
  EXPECT_EQ(1, form->ComponentCount());
  delete form;  // deletes b (ASan reports a leak or double free otherwise)
}

TEST(Components, AlignmentLayout) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 400, 300);
  auto* top = new TPanel(&form);
  top->SetParent(&form);
  top->SetHeight(30);
  top->SetAlign(alTop);
  auto* bottom = new TStatusBar(&form);
  bottom->SetParent(&form);
  auto* left = new TTreeView(&form);
  left->SetParent(&form);
  left->SetWidth(120);
  left->SetAlign(alLeft);
  auto* splitter = new TSplitter(&form);
  splitter->SetParent(&form);
  splitter->SetWidth(4);
  splitter->SetAlign(alLeft);
  auto* client = new TPageControl(&form);
  client->SetParent(&form);
  client->SetAlign(alClient);

  EXPECT_EQ((Bounds{0, 0, 400, 30}), Of(top));
  EXPECT_EQ((Bounds{0, 281, 400, 19}), Of(bottom));
  EXPECT_EQ((Bounds{0, 30, 120, 251}), Of(left));
  EXPECT_EQ((Bounds{120, 30, 4, 251}), Of(splitter));
  EXPECT_EQ((Bounds{124, 30, 276, 251}), Of(client));

  // Resizing the form realigns; the splitter moves the tree's edge.
  form.SetBounds(0, 0, 500, 400);
  EXPECT_EQ((Bounds{124, 30, 376, 351}), Of(client));
  splitter->MoveBy(30);
  EXPECT_EQ(150, left->Width());
  EXPECT_EQ((Bounds{154, 30, 346, 351}), Of(client));
  splitter->MoveBy(-500);
  EXPECT_EQ(splitter->MinSize, left->Width());

  // A hidden control gives its room to the others.
  top->Hide();
  EXPECT_EQ(0, client->Top());
}

TEST(Actions, DriveMenuItemsButtonsAndToolButtons) {
  TForm form(nullptr);
  auto* list = new TActionList(&form);
  int runs = 0;
  TAction* stop = list->Add(L"ActionStop", L"&Stop", 5, ShortCut('S', scCtrl));
  stop->SetHint(L"Stop the service");
  stop->OnExecute = [&](TComponent*) { ++runs; };
  auto* popup = new TPopupMenu(&form);
  TMenuItem* item = popup->Items()->AddAction(&form, L"MenuStop", stop);
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetAction(stop);
  auto* bar = new TToolBar(&form);
  bar->SetParent(&form);
  TToolButton* tool = bar->AddButton(&form, L"ToolStop", stop);

  EXPECT_EQ(L"&Stop", item->Caption());
  EXPECT_EQ(L"&Stop", button->Caption());
  EXPECT_EQ(5, tool->ImageIndex());
  EXPECT_EQ(L"Stop the service", tool->Hint());

  item->Click();
  button->Click();
  tool->Click();
  EXPECT_EQ(3, runs);

  stop->SetEnabled(false);
  EXPECT_FALSE(item->Enabled());
  EXPECT_FALSE(button->Enabled());
  EXPECT_FALSE(tool->Enabled());
  item->Click();
  button->Click();
  EXPECT_EQ(3, runs);

  // OnUpdate decides before a shortcut runs the action.
  stop->OnUpdate = [](TComponent* s) { static_cast<TAction*>(s)->SetEnabled(true); };
  EXPECT_TRUE(form.HandleShortCut(ShortCut('S', scCtrl)));
  EXPECT_EQ(4, runs);
  EXPECT_FALSE(form.HandleShortCut(ShortCut('T', scCtrl)));
  EXPECT_EQ(L"Ctrl+S", ShortCutToText(stop->ShortCut()));
  EXPECT_EQ(L"F5", ShortCutToText(0x74));

  // Deleting the action unlinks its clients.
  delete stop;
  EXPECT_EQ(nullptr, item->Action());
  EXPECT_EQ(nullptr, button->Action());
}

TEST(Actions, PopupMenuRunsOnPopupAndTheContextHandler) {
  TForm form(nullptr);
  auto* tree = new TTreeView(&form);
  tree->SetParent(&form);
  auto* popup = new TPopupMenu(&form);
  tree->PopupMenu = popup;
  int popups = 0;
  popup->OnPopup = [&](TComponent*) { ++popups; };
  tree->ContextPopup(10, 10);
  EXPECT_EQ(1, popups);
  EXPECT_EQ(tree, popup->PopupComponent);
  tree->OnContextPopup = [](TComponent*, int, int, bool& handled) { handled = true; };
  tree->ContextPopup(10, 10);
  EXPECT_EQ(1, popups);
}

TEST(TreeView, CustomSiblingOrderSelectionExpansionAndDeletion) {
  TForm form(nullptr);
  auto* tree = new TTreeView(&form);
  std::vector<std::wstring> deleted;
  tree->OnDeletion = [&](TComponent*, TTreeNode* n) { deleted.push_back(n->Text()); };
  int expanding = 0;
  tree->OnExpanding = [&](TComponent*, TTreeNode*, bool& allow) {
    ++expanding;
    allow = true;
  };
  std::vector<TTreeNode*> changes;
  tree->OnChange = [&](TComponent*, TTreeNode* n) { changes.push_back(n); };

  int data = 42;
  TTreeNode* root = tree->Items().AddChildObject(nullptr, L"Computer", &data);
  TTreeNode* devices = tree->Items().AddChild(root, L"Devices");
  TTreeNode* services = tree->Items().AddChild(root, L"Services");
  TTreeNode* beta = tree->Items().AddChild(services, L"beta");
  tree->Items().AddChild(services, L"alpha");
  EXPECT_EQ(&data, root->Data);
  EXPECT_EQ(5, tree->Items().Count());
  EXPECT_EQ(2, beta->Level());

  // "Services" before "Devices", then by name.
  tree->CustomSort([](TTreeNode* a, TTreeNode* b) {
    auto rank = [](TTreeNode* n) { return n->Text() == L"Services" ? 0 : 1; };
    if (rank(a) != rank(b)) return rank(a) - rank(b);
    return a->Text().compare(b->Text());
  });
  EXPECT_EQ(services, root->Item(0));
  EXPECT_EQ(devices, root->Item(1));
  EXPECT_EQ(L"alpha", services->Item(0)->Text());
  EXPECT_EQ(devices, services->GetNextSibling());

  root->Expand();
  EXPECT_TRUE(root->Expanded());
  EXPECT_EQ(1, expanding);
  tree->OnChanging = [](TComponent*, TTreeNode* n, bool& allow) { allow = n->Text() != L"Devices"; };
  beta->Select();
  devices->Select();
  EXPECT_EQ(beta, tree->Selected());
  EXPECT_EQ((std::vector<TTreeNode*>{beta}), changes);

  services->Delete();
  EXPECT_EQ((std::vector<std::wstring>{L"beta", L"alpha", L"Services"}), deleted);
  EXPECT_EQ(nullptr, tree->Selected());
  EXPECT_EQ(1, root->Count());
  tree->Items().Clear();
  EXPECT_EQ(0, tree->Items().Count());
}

TEST(ListView, MultiSelectColumnsAndCustomSort) {
  TForm form(nullptr);
  auto* lv = new TListView(&form);
  lv->MultiSelect = true;
  lv->AddColumn(L"Name", 120);
  lv->AddColumn(L"Status", 80);
  int clickedColumn = -1;
  lv->OnColumnClick = [&](TComponent*, TListColumn* c) {
    clickedColumn = c == lv->Column(1) ? 1 : 0;
  };
  const wchar_t* names[] = {L"Spooler", L"Alerter", L"Netlogon"};
  const wchar_t* states[] = {L"Running", L"Stopped", L"Running"};
  lv->BeginUpdate();
  for (int i = 0; i < 3; ++i) {
    TListItem* item = lv->Add();
    item->SetCaption(names[i]);
    item->AddSubItem(states[i]);
    item->SetImageIndex(i);
  }
  lv->EndUpdate();
  lv->UserClickColumn(1);
  EXPECT_EQ(1, clickedColumn);

  lv->Item(0)->SetSelected(true);
  lv->Item(2)->SetSelected(true);
  EXPECT_EQ(2, lv->SelCount());
  lv->CustomSort([](TListItem* a, TListItem* b) { return a->Caption().compare(b->Caption()); });
  EXPECT_EQ(L"Alerter", lv->Item(0)->Caption());
  EXPECT_EQ(L"Netlogon", lv->Selected()->Caption());
  EXPECT_EQ(2, lv->SelectedItems().size());

  std::vector<std::wstring> deleted;
  lv->OnDeletion = [&](TComponent*, TListItem* i) { deleted.push_back(i->Caption()); };
  lv->Delete(lv->Item(0));
  EXPECT_EQ(2, lv->Count());
  lv->Clear();
  EXPECT_EQ(3u, deleted.size());

  // Single selection keeps one item.
  lv->MultiSelect = false;
  TListItem* a = lv->Add();
  TListItem* b = lv->Add();
  a->SetSelected(true);
  b->SetSelected(true);
  EXPECT_FALSE(a->Selected());
  EXPECT_EQ(1, lv->SelCount());
}

TEST(PageControl, HiddenTabsAreNotReachable) {
  TForm form(nullptr);
  auto* pages = new TPageControl(&form);
  pages->SetParent(&form);
  std::vector<TTabSheet*> sheet;
  for (const wchar_t* caption : {L"General", L"Advanced", L"Recovery"}) {
    auto* s = new TTabSheet(&form);
    s->SetCaption(caption);
    s->SetPageControl(pages);
    sheet.push_back(s);
  }
  EXPECT_EQ(sheet[0], pages->ActivePage());
  EXPECT_TRUE(sheet[0]->Visible());
  EXPECT_FALSE(sheet[1]->Visible());
  sheet[1]->SetTabVisible(false);
  EXPECT_EQ(1, sheet[2]->TabIndex());
  int changes = 0;
  pages->OnChange = [&](TComponent*) { ++changes; };
  pages->UserSelectTab(1);
  EXPECT_EQ(sheet[2], pages->ActivePage());
  EXPECT_EQ(1, changes);
  sheet[2]->SetTabVisible(false);  // the active page loses its tab
  EXPECT_EQ(sheet[0], pages->ActivePage());
}

TEST(Controls, ListsChecksSpinsAndFocus) {
  TForm form(nullptr);
  form.Show();
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->Items().Assign({L"Automatic", L"Manual", L"Disabled"});
  int comboChanges = 0;
  combo->OnChange = [&](TComponent*) { ++comboChanges; };
  combo->SetItemIndex(1);
  EXPECT_EQ(L"Manual", combo->Text());
  EXPECT_EQ(0, comboChanges);  // only the user's choice runs OnChange
  combo->UserSelect(2);
  EXPECT_EQ(1, comboChanges);
  combo->SetItemIndex(7);
  EXPECT_EQ(-1, combo->ItemIndex());

  auto* checks = new TCheckListBox(&form);
  checks->SetParent(&form);
  checks->Items().Assign({L"a", L"b"});
  checks->UserSetChecked(1, true);
  EXPECT_TRUE(checks->Checked(1));
  EXPECT_FALSE(checks->Checked(5));

  auto* spin = new TCSpinEdit(&form);
  spin->SetParent(&form);
  spin->MinValue = 0;
  spin->MaxValue = 99;
  spin->SetValue(150);
  EXPECT_EQ(99, spin->Value());

  auto* box = new TCheckBox(&form);
  box->SetParent(&form);
  int clicks = 0;
  box->OnClick = [&](TComponent*) { ++clicks; };
  box->Click();
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(1, clicks);

  auto* pass = new TMaskEdit(&form);
  pass->SetParent(&form);
  pass->PasswordChar = L'*';
  pass->UserSetText(L"secret");
  EXPECT_EQ(L"secret", pass->Text());

  // Tab order: explicit orders first, hidden and disabled controls skipped.
  spin->TabOrder = 0;
  checks->SetEnabled(false);
  std::vector<TControl*> seq = form.TabSequence();
  ASSERT_EQ(4u, seq.size());
  EXPECT_EQ(spin, seq[0]);
  form.SelectNext(true);
  EXPECT_TRUE(spin->Focused());
  form.SelectNext(true);
  EXPECT_TRUE(combo->Focused());
  form.SelectNext(false);
  form.SelectNext(false);
  EXPECT_TRUE(pass->Focused());
}

TEST(Dialogs, MessageBoxesGoThroughTheSystemSeam) {
  sim::Active()->system().QueueAnswer(IDYES);
  TForm form(nullptr);
  EXPECT_EQ(IDYES, MessageBox(&form, L"Stop?", L"Attention",
                              MB_TASKMODAL | MB_ICONQUESTION | MB_YESNO));
  const auto& boxes = sim::Active()->system().Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Stop?", boxes[0].text);
  EXPECT_EQ(L"Attention", boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONQUESTION | MB_YESNO), boxes[0].type);
}

TEST(Dialogs, QueuedModalAndFileAnswers) {
  ScopedHeadlessDialogs dialogs;
  TForm picker(nullptr);
  picker.SetName(L"FormBrowseUsersGroup");
  auto* ok = new TButton(&picker);
  ok->SetParent(&picker);
  ok->ModalResult = mrOk;
  dialogs->QueueModal([ok](TForm*) {
    ok->Click();
    return ok->ModalResult;
  });
  EXPECT_EQ(mrOk, picker.ShowModal());
  EXPECT_EQ(mrCancel, picker.ShowModal());  // nothing queued: cancelled
  EXPECT_EQ((std::vector<std::wstring>{L"FormBrowseUsersGroup", L"FormBrowseUsersGroup"}),
            dialogs->ModalForms());
  EXPECT_FALSE(picker.Visible());

  TSaveDialog save(nullptr);
  save.Title = L"Save account list";
  save.DefaultExt = L"xml";
  dialogs->QueueFileName(L"C:\\lists\\admins.xml");
  dialogs->QueueFileCancel();
  EXPECT_TRUE(save.Execute());
  EXPECT_EQ(L"C:\\lists\\admins.xml", save.FileName);
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(L"C:\\lists\\admins.xml", save.FileName);
  ASSERT_EQ(2u, dialogs->FileRequests().size());
  EXPECT_TRUE(dialogs->FileRequests()[0].save);
  EXPECT_EQ(L"Save account list", dialogs->FileRequests()[0].title);

  std::string folder;
  dialogs->QueueFolder("C:\\Temp");
  EXPECT_TRUE(Dialogs().BrowseForFolder(nullptr, "Choose", &folder));
  EXPECT_EQ("C:\\Temp", folder);
  EXPECT_FALSE(Dialogs().BrowseForFolder(nullptr, "Choose", &folder));
}

TEST(Dialogs, WaitCursorComesBackAfterAnError) {
  auto& system = sim::Active()->system();
  system.SetCursor(system.ArrowCursor());
  try {
    TWaitCursor wait;
    EXPECT_EQ(system.WaitCursor(), system.CurrentCursor());
    throw new TError(L"failed");
  } catch (TError* error) {
    ReleaseError(error);
  }
  EXPECT_EQ(system.ArrowCursor(), system.CurrentCursor());
}

TEST(Application, GuardedHandlersShowProgramErrorsAndReportOthers) {
  RunGuarded([] { throw new TError(L"Boom"); });
  ASSERT_EQ(1u, sim::Active()->system().Boxes().size());
  EXPECT_EQ(L"!!: Boom", sim::Active()->system().Boxes()[0].text);
  int reported = 0;
  Application().OnException = [&](const std::exception*) { ++reported; };
  RunGuarded([] { throw std::runtime_error("x"); });
  Application().OnException = nullptr;
  EXPECT_EQ(1, reported);
  // Without a hook: the standard exception display.
  Application().Title = L" Q | Pelmora";
  RunGuarded([] { throw EFrameworkError("'abc' is not a valid integer value"); });
  ASSERT_EQ(2u, sim::Active()->system().Boxes().size());
  EXPECT_EQ(L"'abc' is not a valid integer value", sim::Active()->system().Boxes()[1].text);
  EXPECT_EQ(L" Q | Pelmora", sim::Active()->system().Boxes()[1].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), sim::Active()->system().Boxes()[1].type);
  Application().Title.clear();
}

}  // namespace

namespace {

using namespace Q;

TEST(TreeView, KeptOrderOnInsertionAndMultiSelection) {
  TForm form(nullptr);
  auto* tree = new TTreeView(&form);
  // Kept order: groups before users, then by name (ties keep insertion order).
  tree->SortType = TTreeView::stText;
  tree->OnCompare = [](TTreeNode* a, TTreeNode* b) {
    auto rank = [](TTreeNode* n) { return n->Data ? 0 : 1; };
    if (rank(a) != rank(b)) return rank(a) - rank(b);
    return a->Text().compare(b->Text());
  };
  int group = 1;
  tree->Items().AddChild(nullptr, L"zed");
  tree->Items().AddChild(nullptr, L"adam");
  tree->Items().AddChildObject(nullptr, L"Users", &group);
  tree->Items().AddChild(nullptr, L"adam");
  std::vector<std::wstring> order;
  for (int i = 0; i < tree->Items().RootCount(); ++i) order.push_back(tree->Items().Root(i)->Text());
  EXPECT_EQ((std::vector<std::wstring>{L"Users", L"adam", L"adam", L"zed"}), order);

  // Multi-selection: control toggles, shift selects a range in display order.
  tree->MultiSelect = true;
  TTreeNode* users = tree->Items().Root(0);
  TTreeNode* zed = tree->Items().Root(3);
  users->Select();
  tree->ToggleSelection(zed);
  EXPECT_EQ(zed, tree->Selected());
  EXPECT_EQ(2, tree->SelectionCount());
  EXPECT_TRUE(tree->IsSelected(users));
  tree->ToggleSelection(users);
  EXPECT_EQ(1, tree->SelectionCount());
  tree->SelectRange(tree->Items().Root(1));
  EXPECT_EQ(3, tree->SelectionCount());
  EXPECT_FALSE(tree->IsSelected(users));
  zed->Delete();
  EXPECT_EQ(2, tree->SelectionCount());
  // A plain selection ends the multi-selection.
  users->Select();
  EXPECT_EQ(1, tree->SelectionCount());
}

TEST(TreeView, AutoExpandOnSelection) {
  TForm form(nullptr);
  auto* tree = new TTreeView(&form);
  tree->AutoExpand = true;
  TTreeNode* root = tree->Items().AddChild(nullptr, L"root");
  root->SetHasChildren(true);
  tree->OnExpanding = [](TComponent*, TTreeNode* n, bool& allow) {
    if (n->Count() == 0) n->TreeView()->Items().AddChild(n, L"child");
  };
  root->Select();
  EXPECT_TRUE(root->Expanded());
  EXPECT_EQ(1, root->Count());
}

TEST(ListView, RowsKeptInCaptionOrder) {
  TForm form(nullptr);
  auto* lv = new TListView(&form);
  lv->SortType = TListView::stText;
  for (const wchar_t* name : {L"Spooler", L"Alerter", L"Netlogon"}) lv->Add()->SetCaption(name);
  EXPECT_EQ(L"Alerter", lv->Item(0)->Caption());
  EXPECT_EQ(L"Spooler", lv->Item(2)->Caption());
  lv->Item(0)->SetCaption(L"Zeta");
  EXPECT_EQ(L"Zeta", lv->Item(2)->Caption());
}

TEST(Forms, WindowStateChangesAreReported) {
  TForm form(nullptr);
  std::vector<TWindowState> states;
  form.OnWindowStateChange = [&](TComponent*) { states.push_back(form.WindowState()); };
  form.SetWindowState(wsMinimized);
  form.PeerSetWindowState(wsNormal);  // the user restored it
  form.SetWindowState(wsNormal);
  EXPECT_EQ((std::vector<TWindowState>{wsMinimized, wsNormal}), states);
}

}  // namespace

namespace {

using namespace Q;

TEST(Keyboard, MnemonicsDefaultAndCancelButtons) {
  TForm form(nullptr);
  form.Show();
  auto* apply = new TButton(&form);
  apply->SetParent(&form);
  apply->SetCaption(L"&Apply");
  apply->Default = true;
  int applies = 0;
  apply->OnClick = [&](TComponent*) { ++applies; };
  auto* cancel = new TButton(&form);
  cancel->SetParent(&form);
  cancel->SetCaption(L"Cancel");
  cancel->Cancel = true;
  cancel->ModalResult = mrCancel;
  auto* details = new TCheckBox(&form);
  details->SetParent(&form);
  details->SetCaption(L"In &details");
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetCaption(L"&Name:");
  label->FocusControl = edit;
  auto* amp = new TButton(&form);
  amp->SetParent(&form);
  amp->SetCaption(L"Save && &Close");
  int closes = 0;
  amp->OnClick = [&](TComponent*) { ++closes; };

  EXPECT_TRUE(form.HandleShortCut(ShortCut('A', scAlt)));
  EXPECT_EQ(1, applies);
  EXPECT_TRUE(form.HandleShortCut(ShortCut('D', scAlt)));
  EXPECT_TRUE(details->Checked());
  EXPECT_TRUE(form.HandleShortCut(ShortCut('N', scAlt)));
  EXPECT_TRUE(edit->Focused());
  EXPECT_FALSE(form.HandleShortCut(ShortCut('S', scAlt)));  // "&&" is a plain ampersand
  EXPECT_TRUE(form.HandleShortCut(ShortCut('C', scAlt)));
  EXPECT_EQ(1, closes);
  EXPECT_TRUE(amp->Focused());  // a mnemonic also moves the focus
  edit->SetFocus();
  EXPECT_TRUE(form.HandleShortCut(0x0D));  // Enter in an edit: the default button
  EXPECT_EQ(2, applies);
  EXPECT_TRUE(form.HandleShortCut(0x1B));  // Esc: the cancel button
  EXPECT_EQ(mrCancel, form.ModalResult());
  apply->SetEnabled(false);
  EXPECT_FALSE(form.HandleShortCut(ShortCut('A', scAlt)));
  // Enter on a focused button clicks that button, not the default one.
  amp->SetFocus();
  EXPECT_TRUE(form.HandleShortCut(0x0D));
  EXPECT_EQ(2, closes);
}

TEST(Keyboard, ArrowsMoveBetweenRadioButtons) {
  TForm form(nullptr);
  form.Show();
  auto* box = new TGroupBox(&form);
  box->SetParent(&form);
  std::vector<TRadioButton*> radios;
  for (const wchar_t* caption : {L"Take no action", L"Restart", L"Run a program"}) {
    auto* r = new TRadioButton(&form);
    r->SetParent(box);
    r->SetCaption(caption);
    radios.push_back(r);
  }
  radios[0]->SetChecked(true);
  radios[0]->SetFocus();
  EXPECT_TRUE(form.HandleShortCut(0x28));  // down
  EXPECT_TRUE(radios[1]->Checked());
  EXPECT_FALSE(radios[0]->Checked());
  EXPECT_TRUE(form.HandleShortCut(0x26));  // up
  EXPECT_TRUE(form.HandleShortCut(0x26));  // wraps to the last
  EXPECT_TRUE(radios[2]->Checked());
  EXPECT_TRUE(radios[2]->Focused());
}

TEST(TrayIcon, DoubleClickAndMenuWithDefaultItem) {
  TForm form(nullptr);
  auto* tray = new TTrayIcon(&form);
  auto* menu = new TPopupMenu(&form);
  tray->PopupMenu = menu;
  int shows = 0, popups = 0;
  TMenuItem* show = menu->Items()->Add(&form, L"Show", L"Show");
  show->Default = true;
  show->OnClick = [&](TComponent*) { ++shows; };
  menu->OnPopup = [&](TComponent*) { ++popups; };
  tray->OnDblClick = [&](TComponent*) { ++shows; };
  tray->UserDblClick();
  tray->UserContextMenu(100, 100);
  EXPECT_EQ(1, popups);
  show->Click();
  EXPECT_EQ(2, shows);
  tray->SetVisible(true);  // headless: only the state
  EXPECT_TRUE(tray->Visible());
}

}  // namespace
