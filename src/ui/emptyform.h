// The placeholder view, shown for object kinds that have no view of their own.
#pragma once

#include "ui/frmMainUnit.h"

namespace Q {

class TFormToDo : public TVCLQForm {
 public:
  // `propertiesPage`: the main window's properties page (owner and parent).
  explicit TFormToDo(TControl* propertiesPage);
  const char* ClassName() const override { return "TFormToDo"; }

  void ShowObject(TqObject* object) override;
  void CloseView() override;
  void ActionSetItExecute(TComponent* sender);

  TqObject* Object() const { return object_; }

  TLabel* LabelName;
  TCoolBar* CoolBar1;
  TToolBar* ToolBar1;
  TToolButton* ToolButtonOk;
  TToolButton* ToolButtonSep;
  TToolButton* ToolButtonWizard;
  TPanel* MainPanel;
  TLabel* Label1;
  TStatusBar* StatusBar1;
  TActionList* ActionList1;
  TAction* ActionSetIt;
  TImageList* ImageList1;

 private:
  TqObject* object_ = nullptr;  // the object of the last ShowObject (not owned)
};

}  // namespace Q
