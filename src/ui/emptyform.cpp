#include "ui/emptyform.h"

#include <memory>

#include "app/error.h"

namespace Q {

void TVCLQForm::DockIntoOwner() {
  BorderStyle = bsNone;
  BorderIcons = false;
  if (auto* page = dynamic_cast<TControl*>(Owner())) SetParent(page);
  SetAlign(alClient);
}

TFormToDo::TFormToDo(TControl* propertiesPage) : TVCLQForm(propertiesPage) {
  SetName(L"FormToDo");
  DockIntoOwner();

  ImageList1 = new TImageList(this);
  ImageList1->SetName(L"ImageList1");
  ImageList1->ResourceName = L"IMAGES_TODO";
  ImageList1->Count = 4;

  ActionList1 = new TActionList(this);
  ActionList1->SetName(L"ActionList1");
  ActionList1->Images = ImageList1;
  ActionSetIt = ActionList1->Add(L"ActionSetIt", L"Apply", 1);
  ActionSetIt->OnExecute = [this](TComponent* s) { ActionSetItExecute(s); };

  LabelName = new TLabel(this);
  LabelName->SetName(L"LabelName");
  LabelName->SetParent(this);
  LabelName->AutoSize = false;
  LabelName->Transparent = false;
  LabelName->SetHeight(20);
  LabelName->SetAlign(alTop);
  LabelName->SetColor(clSkyBlue);
  TFont bold;
  bold.Bold = true;
  LabelName->SetFont(bold);
  LabelName->SetCaption(L"  ToDo");

  CoolBar1 = new TCoolBar(this);
  CoolBar1->SetName(L"CoolBar1");
  CoolBar1->SetParent(this);
  CoolBar1->SetHeight(30);
  CoolBar1->SetAlign(alTop);

  ToolBar1 = new TToolBar(this);
  ToolBar1->SetName(L"ToolBar1");
  ToolBar1->SetParent(CoolBar1);
  ToolBar1->SetAlign(alClient);
  ToolBar1->Images = ImageList1;
  ToolButtonOk = ToolBar1->AddButton(this, L"ToolButtonOk", ActionSetIt);
  ToolButtonSep = ToolBar1->AddSeparator(this, L"ToolButton1");
  ToolButtonWizard = ToolBar1->AddButton(this, L"ToolButtonWizard", nullptr);
  ToolButtonWizard->SetImageIndex(3);
  ToolButtonWizard->SetHint(L"Help Me!");

  MainPanel = new TPanel(this);
  MainPanel->SetName(L"MainPanel");
  MainPanel->SetParent(this);
  MainPanel->BevelOuter = bvNone;
  MainPanel->SetAlign(alClient);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->SetName(L"StatusBar1");
  StatusBar1->SetParent(MainPanel);

  Label1 = new TLabel(this);
  Label1->SetName(L"Label1");
  Label1->SetParent(MainPanel);
  Label1->SetBounds(24, 24, 320, 40);
  TFont big;
  big.Size = 24;
  big.Bold = true;
  big.Color = clRed;
  Label1->SetFont(big);
  Label1->SetCaption(L"In develop!");

  FinishCreate();
}

void TFormToDo::ShowObject(TqObject* object) {
  ToolBar1->Hide();
  MainPanel->Hide();
  LabelName->Hide();
  if (!Visible()) Show();
  try {
    if (object == nullptr) throw new TError(Language->LookupW(L"Object initialization failed!"));
    object_ = object;
    StatusBar1->SetSimplePanel(true);
    wchar_t* name = nullptr;
    object->GetName(&name);
    std::unique_ptr<wchar_t[]> owned(name);
    StatusBar1->SetSimpleText(name ? name : L"");
  } catch (TError* error) {
    ShowError(error);
    Hide();
  }
}

void TFormToDo::CloseView() { Close(); }

void TFormToDo::ActionSetItExecute(TComponent*) {}

}  // namespace Q
