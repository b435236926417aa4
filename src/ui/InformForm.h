// The splash window, which is also the about box and the shutdown notice.
#pragma once

#include <string>

#include "toolkit/controls.h"

namespace Q {

class TInformationForm : public TForm {
 public:
  static constexpr int kClientWidth = 452;
  static constexpr int kClientHeight = 199;

  // `owner`: the main window.
  explicit TInformationForm(TComponent* owner);
  const char* ClassName() const override { return "TInformationForm"; }

  // Click of ButtonOK and Image1: hides the window (it lives as long as its owner).
  void ButtonOKClick(TComponent* sender);

  TImage* Image1;
  TButton* ButtonOK;
  TLabel* ProdVer;
  TLabel* relisLabel;
  TLabel* autorLabel;
  TLabel* InformLabel;
};

// The "FileVersion" text of the program's own version resource, read under the first
// translation of its "\VarFileInfo\Translation"; empty when any step fails.
std::string ReadProgramFileVersion();

// Shows the splash window with "Initialize" for about two seconds (start-up stand-in
// until the main window runs).
void RunSplashOnly(const wchar_t* title);

}  // namespace Q
