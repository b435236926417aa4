// The main window's module. Until the main window itself lands it declares the base
// class of the views the main window docks into its properties page.
#pragma once

#include "objects/qobject.h"
#include "text/VCLQLangClasses.h"

namespace Q {

// A docked view: the main window drives it through ShowObject and CloseView. Each view
// makes its owner (the main window's properties page) its parent and fills it.
class TVCLQForm : public TVCLQLangForm {
 public:
  explicit TVCLQForm(TComponent* owner) : TVCLQLangForm(owner) {}
  const char* ClassName() const override { return "TVCLQForm"; }

  // Shows the view and loads `object` into it (not owned).
  virtual void ShowObject(TqObject* object) = 0;
  // Closes the view when the program ends.
  virtual void CloseView() = 0;

 protected:
  // Parent := the owner (a control), aligned to fill it, no border.
  void DockIntoOwner();
};

}  // namespace Q
