// The toolkit with real peers on the display: a gallery form with one component of every
// kind the windows use, the splash and about windows and the placeholder view. Each is
// shown, driven through its native windows, and saved as a screenshot
// (build/windows/screenshots/*.bmp; CTest converts them to PNG).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/environment.h"
#include "app/error.h"
#include "objects/qobject.h"
#include "toolkit/comctrls.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/win32/backend.h"
#include "ui/InformForm.h"
#include "ui/emptyform.h"

namespace {

using namespace Q;

std::wstring ShotPath(const wchar_t* name) {
  CreateDirectoryW(L"screenshots", nullptr);
  return std::wstring(L"screenshots\\") + name + L".bmp";
}

// Lets the windows paint: handles messages for `ms` milliseconds.
void Pump(int ms = 400) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (GetTickCount() < end) {
    Application().ProcessMessages();
    Sleep(20);
  }
}

HWND H(TControl* c) { return static_cast<HWND>(c->Handle()); }

class GalleryForm : public TForm {
 public:
  GalleryForm() : TForm(nullptr) {
    SetName(L"Gallery");
    SetCaption(L"Toolkit gallery");
    BorderStyle = bsSizeable;
    Position = poScreenCenter;
    SetBounds(0, 0, 780, 560);

    images = new TImageList(this);
    images->ResourceName = L"IMAGES_SERVICES";
    images->Count = 15;
    treeImages = new TImageList(this);
    treeImages->ResourceName = L"IMAGES_TREE";
    treeImages->Count = 36;

    actions = new TActionList(this);
    actions->Images = images;
    actionRefresh = actions->Add(L"ActionRefresh", L"Refresh", 5, ShortCut(VK_F5, 0));
    actionStart = actions->Add(L"ActionStart", L"Start", 13);
    actionStop = actions->Add(L"ActionStop", L"Stop", 10);
    actionRefresh->OnExecute = [this](TComponent*) { ++refreshes; };

    popup = new TPopupMenu(this);
    popup->Items()->AddAction(this, L"MenuRefresh", actionRefresh);
    popup->Items()->AddSeparator(this);
    popup->Items()->AddAction(this, L"MenuStart", actionStart);
    popup->Items()->AddAction(this, L"MenuStop", actionStop);

    cool = new TCoolBar(this);
    cool->SetParent(this);
    cool->SetAlign(alTop);
    toolBar = new TToolBar(this);
    toolBar->SetParent(cool);
    toolBar->SetAlign(alClient);
    toolBar->Images = images;
    toolBar->List = true;
    toolBar->ShowCaptions = true;
    toolBar->AddButton(this, L"TBRefresh", actionRefresh);
    toolBar->AddSeparator(this, L"TBSep");
    auto* drop = toolBar->AddButton(this, L"TBAction", nullptr);
    drop->SetCaption(L"Action");
    drop->SetImageIndex(14);
    drop->Style = tbsDropDown;
    drop->DropdownMenu = popup;

    status = new TStatusBar(this);
    status->SetParent(this);
    status->AddPanel(160)->Text = L"3 services";
    status->AddPanel(200)->Text = L"Ready";

    tree = new TTreeView(this);
    tree->SetParent(this);
    tree->SetWidth(190);
    tree->SetAlign(alLeft);
    tree->Images = treeImages;
    tree->PopupMenu = popup;
    tree->MultiSelect = true;
    tree->HotTrack = true;
    TTreeNode* root = tree->Items().AddChild(nullptr, L"\\\\GALLERYHOST");
    root->SetImageIndex(1);
    TTreeNode* services = tree->Items().AddChild(root, L"Services");
    services->SetImageIndex(32);
    TTreeNode* devices = tree->Items().AddChild(root, L"Devices");
    devices->SetImageIndex(31);
    const int states[] = {35, 34, 33};
    const wchar_t* names[] = {L"Print Spooler", L"Alerter", L"Remote Registry"};
    for (int i = 0; i < 3; ++i) tree->Items().AddChild(services, names[i])->SetImageIndex(states[i]);
    // Filled in when first expanded, as the main window's tree does.
    lazy = tree->Items().AddChild(root, L"Lazy");
    lazy->SetHasChildren(true);
    tree->OnExpanding = [this](TComponent*, TTreeNode* node, bool& allow) {
      if (node == lazy && lazy->Count() == 0) {
        tree->Items().AddChild(lazy, L"First child")->SetImageIndex(35);
        tree->Items().AddChild(lazy, L"Second child")->SetImageIndex(34);
      }
      allow = true;
    };
    root->Expand();
    services->Expand();

    splitter = new TSplitter(this);
    splitter->SetParent(this);
    splitter->SetWidth(4);
    splitter->SetAlign(alLeft);

    pages = new TPageControl(this);
    pages->SetParent(this);
    pages->SetAlign(alClient);
    pages->Style = TPageControl::tsFlatButtons;
    pages->HotTrack = true;
    pages->Images = images;
    general = NewSheet(L"General");
    auto* hidden = NewSheet(L"Hidden");
    hidden->SetTabVisible(false);
    listSheet = NewSheet(L"Services");
    NewSheet(L"Recovery");

    // General page: the standard controls.
    auto* name = Label(general, L"Display name:", 10, 12);
    (void)name;
    edit = new TEdit(this);
    edit->SetParent(general);
    edit->SetBounds(110, 8, 200, 21);
    edit->SetText(L"Print Spooler");
    Label(general, L"Password:", 10, 40);
    password = new TMaskEdit(this);
    password->SetParent(general);
    password->SetBounds(110, 36, 200, 21);
    password->PasswordChar = L'*';
    password->SetText(L"secret");
    labeled = new TLabeledEdit(this);
    labeled->SetParent(general);
    labeled->SetBounds(330, 24, 200, 21);
    labeled->EditLabel()->SetCaption(L"Start parameters:");
    labeled->SetText(L"read-only, grey");
    labeled->SetReadOnly(true);
    labeled->SetColor(clBtnFace);
    link = Label(general, L"Show services list", 330, 50);
    link->SetWidth(150);
    TFont linkFont;
    linkFont.Color = 0xCC0000;  // blue
    linkFont.Underline = true;
    link->SetFont(linkFont);
    link->Cursor = crHandPoint;
    Label(general, L"Startup type:", 10, 68);
    combo = new TComboBox(this);
    combo->SetParent(general);
    combo->SetBounds(110, 64, 200, 21);
    combo->Items().Assign({L"Automatic", L"Manual", L"Disabled"});
    combo->SetItemIndex(1);
    Label(general, L"Reset after (days):", 330, 68);
    spin = new TCSpinEdit(this);
    spin->SetParent(general);
    spin->SetBounds(450, 64, 80, 21);
    spin->MaxValue = 999;
    spin->SetValue(7);
    check = new TCheckBox(this);
    check->SetParent(general);
    check->SetBounds(10, 96, 260, 19);
    check->SetCaption(L"Allow service to interact with desktop");
    auto* radio1 = new TRadioButton(this);
    radio1->SetParent(general);
    radio1->SetBounds(330, 96, 120, 19);
    radio1->SetCaption(L"Local System");
    radio1->SetChecked(true);
    auto* radio2 = new TRadioButton(this);
    radio2->SetParent(general);
    radio2->SetBounds(450, 96, 110, 19);
    radio2->SetCaption(L"This account");
    group = new TGroupBox(this);
    group->SetParent(general);
    group->SetBounds(10, 124, 260, 120);
    group->SetCaption(L"Dependencies");
    checks = new TCheckListBox(this);
    checks->SetParent(group);
    checks->SetBounds(8, 20, 244, 92);
    checks->Items().Assign({L"RPC Endpoint Mapper", L"DCOM Server Process Launcher", L"Event Log"});
    checks->SetChecked(0, true);
    radioGroup = new TRadioGroup(this);
    radioGroup->SetParent(general);
    radioGroup->SetBounds(280, 124, 250, 90);
    radioGroup->SetCaption(L"On failure");
    radioGroup->Items().Assign({L"Take no action", L"Restart the service", L"Run a program"});
    radioGroup->SetItemIndex(1);
    memo = new TMemo(this);
    memo->SetParent(general);
    memo->SetBounds(10, 252, 260, 56);
    memo->SetMemoText(L"Loads files to memory for later printing.\r\nSecond line.");
    auto* staticText = new TStaticText(this);
    staticText->SetParent(general);
    staticText->SetBounds(280, 222, 250, 17);
    staticText->SetCaption(L"Static text: C:\\WINDOWS\\system32\\spoolsv.exe");
    panel = new TPanel(this);
    panel->SetParent(general);
    panel->SetBounds(280, 246, 250, 30);
    panel->SetCaption(L"Panel with a caption");
    image = new TImage(this);
    image->SetParent(general);
    image->ResourceName = L"IMAGES_TODO";
    image->Transparent = true;
    image->SetBounds(280, 284, 64, 16);
    button = new TButton(this);
    button->SetParent(general);
    button->SetBounds(360, 282, 80, 25);
    button->SetCaption(L"&Apply");
    button->Default = true;
    button->OnClick = [this](TComponent*) { ++applies; };
    speed = new TSpeedButton(this);
    speed->SetParent(general);
    speed->SetBounds(450, 282, 80, 25);
    speed->Flat = true;
    speed->SetCaption(L"Speed");
    values = new TValueListEditor(this);
    values->SetParent(general);
    values->SetBounds(10, 316, 260, 70);
    values->Strings().Assign({L"Name=Spooler", L"Type=Own process"});
    grid = new TStringGrid(this);
    grid->SetParent(general);
    grid->ColCount = 3;
    grid->RowCount = 2;
    grid->SetBounds(280, 316, 250, 70);

    // List page: a multi-select report with images.
    list = new TListView(this);
    list->SetParent(listSheet);
    list->SetAlign(alClient);
    list->MultiSelect = true;
    list->SmallImages = images;
    list->PopupMenu = popup;
    list->AddColumn(L"Name", 150);
    list->AddColumn(L"Status", 80);
    list->AddColumn(L"Startup", 80);
    const wchar_t* rows[][3] = {{L"Print Spooler", L"Started", L"Automatic"},
                                {L"Alerter", L"Stopped", L"Disabled"},
                                {L"Remote Registry", L"Paused", L"Manual"}};
    const int rowImages[] = {6, 7, 9};
    for (int i = 0; i < 3; ++i) {
      TListItem* item = list->Add();
      item->SetCaption(rows[i][0]);
      item->AddSubItem(rows[i][1]);
      item->AddSubItem(rows[i][2]);
      item->SetImageIndex(rowImages[i]);
    }
    tabs = new TTabControl(this);
    tabs->Tabs().Assign({L"One", L"Two"});
  }

  TTabSheet* NewSheet(const wchar_t* caption) {
    auto* sheet = new TTabSheet(this);
    sheet->SetCaption(caption);
    sheet->ImageIndex = pages->PageCount() == 0 ? 5 : 14;
    sheet->SetPageControl(pages);
    return sheet;
  }
  TLabel* Label(TControl* parent, const wchar_t* text, int x, int y) {
    auto* label = new TLabel(this);
    label->SetParent(parent);
    label->SetBounds(x, y, 95, 15);
    label->SetCaption(text);
    return label;
  }

  TImageList *images, *treeImages;
  TActionList* actions;
  TAction *actionRefresh, *actionStart, *actionStop;
  TPopupMenu* popup;
  TCoolBar* cool;
  TToolBar* toolBar;
  TStatusBar* status;
  TTreeView* tree;
  TTreeNode* lazy;
  TSplitter* splitter;
  TPageControl* pages;
  TTabSheet *general, *listSheet;
  TEdit* edit;
  TMaskEdit* password;
  TLabeledEdit* labeled;
  TLabel* link;
  TComboBox* combo;
  TCSpinEdit* spin;
  TCheckBox* check;
  TGroupBox* group;
  TCheckListBox* checks;
  TRadioGroup* radioGroup;
  TMemo* memo;
  TPanel* panel;
  TImage* image;
  TButton* button;
  TSpeedButton* speed;
  TValueListEditor* values;
  TStringGrid* grid;
  TListView* list;
  TTabControl* tabs;
  int refreshes = 0;
  int applies = 0;
};

class ToolkitGallery : public testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Backend(); }
};

// "lang.dic" beside the test program, read with the platform's real code page.
TEST_F(ToolkitGallery, FormDictionaryBesideTheProgramWithTheRealCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "the texts below are code page 1252";
  ProgramLanguage().ResetForTesting();
  const std::string path = ExecutableFolderFile("lang.dic");
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  fputs("  ToDo===  Zu erledigen (\xDC" "bersicht)\r\nHelp Me!===Hilfe f\xFC" "r mich!\r\n", f);
  fclose(f);
  TPanel page(nullptr);
  page.SetBounds(0, 0, 400, 200);
  TFormToDo view(&page);
  remove(path.c_str());
  EXPECT_EQ(L"  Zu erledigen (\x00DC" L"bersicht)", view.LabelName->Caption());
  EXPECT_EQ(L"Hilfe f\x00FC" L"r mich!", view.ToolButtonWizard->Hint());
  EXPECT_STREQ(L"Hilfe f\x00FC" L"r mich!", view.Language->LookupW(L"Help Me!"));
  // A character the code page lacks comes back as its replacement character.
  EXPECT_STREQ(L"a?b", view.Language->LookupW(L"a\x4E2D" L"b"));
  try {
    view.Language->LookupW(std::wstring(3000, L'x').c_str());
    ADD_FAILURE() << "no error";
  } catch (TError* error) {
    EXPECT_STREQ(L"!!: Error encoding to ANSI", error->Message);
    ReleaseError(error);
  }
  ProgramLanguage().ResetForTesting();
}

TEST_F(ToolkitGallery, EveryComponentKindHasARealWindowThatFollowsTheModel) {
  GalleryForm form;
  form.Show();
  Pump();
  ASSERT_NE(nullptr, H(&form));
  EXPECT_TRUE(IsWindowVisible(H(&form)));

  // Native contents mirror the model.
  EXPECT_EQ(7u, TreeView_GetCount(H(form.tree)));
  // Expanding in the control fills the node through the model's OnExpanding.
  TreeView_Expand(H(form.tree), static_cast<HTREEITEM>(form.lazy->PeerItem), TVE_EXPAND);
  Pump(100);
  EXPECT_TRUE(form.lazy->Expanded());
  EXPECT_EQ(2, form.lazy->Count());
  EXPECT_EQ(9u, TreeView_GetCount(H(form.tree)));
  EXPECT_NE(nullptr, TreeView_GetChild(H(form.tree), static_cast<HTREEITEM>(form.lazy->PeerItem)));
  EXPECT_EQ(3, TabCtrl_GetItemCount(H(form.pages)));  // the hidden page has no tab
  EXPECT_EQ(1, static_cast<int>(SendMessageW(H(form.combo), CB_GETCURSEL, 0, 0)));
  wchar_t text[64] = {};
  GetWindowTextW(H(form.edit), text, 64);
  EXPECT_STREQ(L"Print Spooler", text);
  EXPECT_EQ(L'*', static_cast<wchar_t>(SendMessageW(H(form.password), EM_GETPASSWORDCHAR, 0, 0)));
  EXPECT_EQ(3, static_cast<int>(SendMessageW(H(form.toolBar), TB_BUTTONCOUNT, 0, 0)));

  // The model's alignment places the windows.
  RECT r;
  GetWindowRect(H(form.tree), &r);
  EXPECT_EQ(form.tree->Width(), r.right - r.left);
  GetClientRect(H(&form), &r);
  EXPECT_EQ(780, r.right);

  // User input reaches the model.
  SendMessageW(H(form.check), BM_CLICK, 0, 0);
  EXPECT_TRUE(form.check->Checked());
  SendMessageW(H(form.button), BM_CLICK, 0, 0);
  EXPECT_EQ(1, form.applies);
  SendMessageW(H(form.combo), CB_SETCURSEL, 2, 0);
  SendMessageW(H(form.general), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(H(form.combo)));
  EXPECT_EQ(2, form.combo->ItemIndex());
  SetWindowTextW(H(form.edit), L"Spooler");
  EXPECT_EQ(L"Spooler", form.edit->Text());
  SendMessageW(H(form.toolBar), TB_PRESSBUTTON, 1, TRUE);
  SendMessageW(H(form.cool), WM_COMMAND, 1, reinterpret_cast<LPARAM>(H(form.toolBar)));
  EXPECT_EQ(1, form.refreshes);

  // Model changes reach the windows.
  form.tree->Items().GetFirstNode()->Item(0)->Item(1)->Select();
  Pump(100);
  HTREEITEM selected = TreeView_GetSelection(H(form.tree));
  ASSERT_NE(nullptr, selected);
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = selected;
  item.pszText = text;
  item.cchTextMax = 64;
  TreeView_GetItem(H(form.tree), &item);
  EXPECT_STREQ(L"Alerter", text);

  // A multi-selection in the tree (control click in the model).
  form.tree->ToggleSelection(form.tree->Items().GetFirstNode()->Item(0)->Item(0));
  EXPECT_EQ(2, form.tree->SelectionCount());
  Pump(100);

  // Keyboard: Tab moves through the tab order, F5 runs the action's shortcut.
  form.edit->SetFocus();
  Pump(100);
  PostMessageW(H(form.edit), WM_KEYDOWN, VK_TAB, 0);
  Pump(100);
  EXPECT_NE(form.edit, Application().Focus);
  PostMessageW(H(form.edit), WM_KEYDOWN, VK_F5, 0);
  Pump(100);
  EXPECT_EQ(2, form.refreshes);

  EXPECT_TRUE(SaveScreenBitmap(ShotPath(L"gallery")));

  // The list page: multi-selection from the native list reaches the model.
  form.pages->SetActivePage(form.listSheet);
  Pump(200);
  ListView_SetItemState(H(form.list), 0, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(H(form.list), 2, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(2, form.list->SelCount());
  EXPECT_EQ(3, ListView_GetItemCount(H(form.list)));
  EXPECT_EQ(3, Header_GetItemCount(ListView_GetHeader(H(form.list))));
  form.list->Item(1)->SetSubItem(0, L"Starting");
  ListView_GetItemText(H(form.list), 1, 1, text, 64);
  EXPECT_STREQ(L"Starting", text);
  Pump(200);
  EXPECT_TRUE(SaveScreenBitmap(ShotPath(L"gallery_list")));

  // Dragging the splitter widens the tree; the page control follows.
  {
    RECT sr;
    GetWindowRect(H(form.splitter), &sr);
    const int before = form.tree->Width();
    const POINT start{(sr.left + sr.right) / 2, (sr.top + sr.bottom) / 2};
    SetCursorPos(start.x, start.y);
    SendMessageW(H(form.splitter), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 10));
    SetCursorPos(start.x + 40, start.y);
    SendMessageW(H(form.splitter), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(42, 10));
    SendMessageW(H(form.splitter), WM_LBUTTONUP, 0, MAKELPARAM(42, 10));
    EXPECT_EQ(before + 40, form.tree->Width());
    GetWindowRect(H(form.tree), &r);
    EXPECT_EQ(form.tree->Width(), r.right - r.left);
    GetWindowRect(H(form.pages), &r);
    EXPECT_EQ(form.pages->Width(), r.right - r.left);
  }

  // A resize realigns the model and the windows follow.
  SetWindowPos(H(&form), nullptr, 0, 0, 900, 640, SWP_NOMOVE | SWP_NOZORDER);
  Pump(100);
  GetClientRect(H(&form), &r);
  EXPECT_EQ(r.right, form.Width());
  GetWindowRect(H(form.pages), &r);
  EXPECT_EQ(form.pages->Width(), r.right - r.left);
  form.Hide();
  Pump(100);
}

TEST_F(ToolkitGallery, SplashAboutAndPlaceholderWindows) {
  TForm mainWindow(nullptr);
  mainWindow.SetBounds(0, 0, 640, 420);
  mainWindow.Position = poScreenCenter;
  mainWindow.SetCaption(L"Q | Pelmora");
  auto* page = new TPanel(&mainWindow);
  page->SetParent(&mainWindow);
  page->SetAlign(alClient);
  page->BevelOuter = bvNone;
  auto* view = new TFormToDo(page);
  mainWindow.Show();
  // The view as designed (before any object): its tool bar images and texts.
  view->Show();
  Pump();
  EXPECT_TRUE(SaveScreenBitmap(ShotPath(L"placeholder_design")));
  TqObject computer(L"\\\\GALLERYHOST");
  view->ShowObject(&computer);
  Pump();
  EXPECT_TRUE(IsWindowVisible(H(view)));
  EXPECT_FALSE(IsWindowVisible(H(view->MainPanel)));
  EXPECT_TRUE(SaveScreenBitmap(ShotPath(L"placeholder")));

  TInformationForm info(&mainWindow);
  EXPECT_EQ(L"Version: 1.0.0.1", info.ProdVer->Caption());
  info.SetCaption(L"Starting ... ");
  info.InformLabel->SetCaption(L"Initialize");
  info.Show();
  Pump();
  RECT r;
  GetClientRect(H(&info), &r);
  EXPECT_EQ(452, r.right);
  EXPECT_EQ(199, r.bottom);
  // The right-aligned progress text keeps its right edge inside the window.
  EXPECT_LE(info.InformLabel->Left() + info.InformLabel->Width(), 452);
  EXPECT_TRUE(SaveScreenBitmap(ShotPath(L"splash")));
  info.InformLabel->SetCaption(L"Open Main Window");
  Pump(200);
  EXPECT_LE(info.InformLabel->Left() + info.InformLabel->Width(), 452);
  EXPECT_GE(info.InformLabel->Left(), 0);
  EXPECT_TRUE(SaveScreenBitmap(ShotPath(L"splash_open")));

  // About box: the X button hides the window.
  info.Hide();
  info.SetCaption(L"About ...");
  info.ButtonOK->Show();
  info.InformLabel->Hide();
  info.Show();
  Pump();
  EXPECT_TRUE(SaveScreenBitmap(ShotPath(L"about")));
  SendMessageW(H(info.ButtonOK), BM_CLICK, 0, 0);
  EXPECT_FALSE(info.Visible());
  EXPECT_FALSE(IsWindowVisible(H(&info)));
  mainWindow.Hide();
}

// Chooses an entry of the menu that is about to open: Down `g_menuDowns` times, then Enter.
// The keys go to a window of this thread, whose menu loop reads them; a menu still open
// after three seconds is closed, so a failure cannot hang the test.
int g_menuDowns = 0;
HWND g_menuKeysTo = nullptr;
UINT_PTR g_closeTimer = 0;
void CALLBACK CloseMenus(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}
void CALLBACK ChooseMenuEntry(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_closeTimer = SetTimer(nullptr, 0, 3000, CloseMenus);
  HWND target = g_menuKeysTo;
  for (int i = 0; i < g_menuDowns; ++i) {
    PostMessageW(target, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(target, WM_KEYUP, VK_DOWN, 0);
  }
  PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(target, WM_KEYUP, VK_RETURN, 0);
}

TEST_F(ToolkitGallery, PopupAndTrayMenusRunTheChosenEntry) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  form.Position = poScreenCenter;
  form.SetCaption(L"Menus");
  auto* actions = new TActionList(&form);
  int refreshes = 0, shows = 0;
  TAction* refresh = actions->Add(L"ActionRefresh", L"Refresh", -1, ShortCut(VK_F5, 0));
  refresh->OnExecute = [&](TComponent*) { ++refreshes; };
  auto* popup = new TPopupMenu(&form);
  popup->Items()->AddAction(&form, L"MenuRefresh", refresh);
  popup->Items()->AddSeparator(&form);
  popup->Items()->Add(&form, L"MenuExit", L"Exit");
  form.PopupMenu = popup;
  form.Show();
  Pump(200);
  g_menuKeysTo = H(&form);

  // The form's context menu: the first entry runs its action.
  g_menuDowns = 1;
  SetTimer(nullptr, 0, 300, ChooseMenuEntry);
  form.ContextPopup(400, 300);
  KillTimer(nullptr, g_closeTimer);
  EXPECT_EQ(1, refreshes);

  // The tray icon: right button up opens its menu; the default entry is first.
  auto* trayMenu = new TPopupMenu(&form);
  TMenuItem* show = trayMenu->Items()->Add(&form, L"Show", L"Show");
  show->Default = true;
  show->OnClick = [&](TComponent*) { ++shows; };
  trayMenu->Items()->AddSeparator(&form);
  trayMenu->Items()->Add(&form, L"Exit", L"Exit");
  auto* tray = new TTrayIcon(&form);
  tray->PopupMenu = trayMenu;
  tray->SetVisible(true);
  HWND messages = FindWindowExW(HWND_MESSAGE, nullptr, L"PelmoraMessageWindow", nullptr);
  ASSERT_NE(nullptr, messages);
  const WPARAM id = reinterpret_cast<WPARAM>(tray->PeerState);
  g_menuDowns = 1;
  SetTimer(nullptr, 0, 300, ChooseMenuEntry);
  SendMessageW(messages, WM_APP + 1, id, WM_RBUTTONUP);
  KillTimer(nullptr, g_closeTimer);
  EXPECT_EQ(1, shows);
  int doubleClicks = 0;
  tray->OnDblClick = [&](TComponent*) { ++doubleClicks; };
  SendMessageW(messages, WM_APP + 1, id, WM_LBUTTONDBLCLK);
  EXPECT_EQ(1, doubleClicks);
  tray->SetVisible(false);
  form.Hide();
}

HWND g_clickTarget = nullptr;
bool g_modalWindowEnabled = false;
void CALLBACK ClickLater(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_clickTarget) {
    g_modalWindowEnabled = IsWindowEnabled(GetAncestor(g_clickTarget, GA_ROOT)) != FALSE;
    SendMessageW(g_clickTarget, BM_CLICK, 0, 0);
  }
}

TEST_F(ToolkitGallery, TrayIconAndModalForm) {
  TForm owner(nullptr);
  auto* tray = new TTrayIcon(&owner);
  tray->Hint = L"Q | Pelmora";
  auto* trayImages = new TImageList(&owner);
  trayImages->ResourceName = L"IMAGES_SERVICES";
  tray->Images = trayImages;
  tray->IconIndex = 6;
  tray->SetVisible(true);
  EXPECT_NE(nullptr, tray->PeerState);
  tray->SetVisible(false);

  // A modal form runs its own loop until a button sets the modal result.
  TForm dialog(nullptr);
  dialog.SetBounds(0, 0, 240, 100);
  dialog.Position = poScreenCenter;
  dialog.BorderStyle = bsDialog;
  dialog.SetCaption(L"Modal");
  auto* ok = new TButton(&dialog);
  ok->SetParent(&dialog);
  ok->SetBounds(80, 40, 75, 25);
  ok->SetCaption(L"OK");
  ok->ModalResult = mrOk;
  dialog.Show();  // creates the windows
  g_clickTarget = H(ok);
  dialog.Hide();
  SetTimer(nullptr, 0, 300, ClickLater);
  EXPECT_EQ(mrOk, dialog.ShowModal());
  EXPECT_FALSE(IsWindowVisible(H(&dialog)));
  EXPECT_TRUE(g_modalWindowEnabled);

  // A form that is already on the screen when it is run modally is not disabled with the
  // program's other windows: the user must still be able to answer it.
  dialog.SetModalResult(mrNone);
  dialog.Show();
  g_modalWindowEnabled = false;
  SetTimer(nullptr, 0, 300, ClickLater);
  EXPECT_EQ(mrOk, dialog.ShowModal());
  EXPECT_TRUE(g_modalWindowEnabled);
  EXPECT_TRUE(IsWindowEnabled(H(&dialog)));
}

// Messages with parameters no control of the window sends (another program can post or
// send anything to a top-level window) are ignored, not followed as pointers.
TEST_F(ToolkitGallery, OddNotificationsAreIgnored) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetAlign(alClient);
  form.Show();
  Pump(100);
  for (HWND target : {H(&form), H(panel)}) {
    EXPECT_EQ(0, SendMessageW(target, WM_NOTIFY, 0, 0));
    EXPECT_EQ(FALSE, SendMessageW(target, WM_DRAWITEM, 0, 0));
    EXPECT_EQ(0, SendMessageW(target, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED),
                              reinterpret_cast<LPARAM>(GetDesktopWindow())));
  }
  EXPECT_TRUE(IsWindow(H(&form)));
  form.Hide();
}

}  // namespace
