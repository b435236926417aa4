#include "ui/InformForm.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/system.h"

namespace Q {

std::string ReadProgramFileVersion() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = Sys().GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  DWORD handle = 0;
  const DWORD size = Sys().GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return std::string();
  std::vector<char> block(size);
  if (!Sys().GetFileVersionInfoA(path, handle, size, block.data())) return std::string();

  LPVOID translation = nullptr;
  UINT translationLength = 0;
  if (!Sys().VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation,
                            &translationLength) ||
      translation == nullptr || translationLength < 4)
    return std::string();
  DWORD entry = 0;
  std::memcpy(&entry, translation, sizeof entry);
  // Language in the low half, code page in the high half: the table's name has the
  // language first.
  const unsigned long swapped = ((entry & 0xFFFFu) << 16) | (entry >> 16);

  char name[255];
  std::snprintf(name, sizeof name, "\\StringFileInfo\\%08lx\\%s", swapped, "FileVersion");
  LPVOID text = nullptr;
  UINT textLength = 0;
  if (!Sys().VerQueryValueA(block.data(), name, &text, &textLength) || text == nullptr)
    return std::string();
  // The value's length counts its terminating zero; never read past it or the block.
  const char* chars = static_cast<const char*>(text);
  std::size_t length = 0;
  while (length < textLength && chars[length] != '\0') ++length;
  return std::string(chars, length);
}

namespace {
std::wstring Widen(const std::string& ansi) {
  if (ansi.empty()) return std::wstring();
  const int n = Sys().MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                          nullptr, 0);
  if (n <= 0) return std::wstring();
  std::vector<wchar_t> wide(static_cast<std::size_t>(n));
  Sys().MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return std::wstring(wide.data(), wide.size());
}

TLabel* NewLabel(TForm* form, const wchar_t* name, int left, int top, int width, int height) {
  auto* label = new TLabel(form);
  label->SetName(name);
  label->SetParent(form);
  label->SetBounds(left, top, width, height);
  return label;
}
}  // namespace

TInformationForm::TInformationForm(TComponent* owner) : TForm(owner) {
  SetName(L"InformationForm");
  BorderStyle = bsNone;
  BorderIcons = false;
  Position = poOwnerFormCenter;
  SetColor(clSilver);
  SetBounds(0, 0, kClientWidth, kClientHeight);

  Image1 = new TImage(this);
  Image1->SetName(L"Image1");
  Image1->SetParent(this);
  Image1->ResourceName = L"SPLASH";
  Image1->Center = true;
  Image1->SetAlign(alClient);
  Image1->OnClick = [this](TComponent* s) { ButtonOKClick(s); };

  ButtonOK = new TButton(this);
  ButtonOK->SetName(L"ButtonOK");
  ButtonOK->SetParent(this);
  ButtonOK->SetBounds(428, 4, 21, 17);
  ButtonOK->SetCaption(L"X");
  TFont bold;
  bold.Bold = true;
  ButtonOK->SetFont(bold);
  ButtonOK->TabStop = false;
  ButtonOK->Cancel = true;
  ButtonOK->SetVisible(false);
  ButtonOK->OnClick = [this](TComponent* s) { ButtonOKClick(s); };

  ProdVer = NewLabel(this, L"ProdVer", 14, 125, 220, 16);
  TFont versionFont;
  versionFont.Color = clNavy;
  versionFont.Bold = true;
  ProdVer->SetFont(versionFont);

  relisLabel = NewLabel(this, L"relisLabel", 14, 148, 120, 16);
  TFont red;
  red.Color = clRed;
  relisLabel->SetFont(red);

  autorLabel = NewLabel(this, L"autorLabel", 14, 178, 330, 14);
  TFont small;
  small.Size = 7;
  small.Color = clBlack;
  autorLabel->SetFont(small);

  // Right-aligned: longer progress texts grow to the left of the right edge.
  InformLabel = NewLabel(this, L"InformLabel", 384, 124, 62, 16);
  InformLabel->Alignment = taRightJustify;
  TFont boldLabel;
  boldLabel.Bold = true;
  boldLabel.Color = clBlack;
  InformLabel->SetFont(boldLabel);
  InformLabel->SetCaption(L"Information");

  const std::string version = ReadProgramFileVersion();
  ProdVer->SetCaption(L"Version: " + Widen(version));
  relisLabel->SetCaption(L"R$ 0703");
  autorLabel->SetCaption(L"Copyright (c) Pelmora developers. All rights reserved.");
  DoCreate();
}

void TInformationForm::ButtonOKClick(TComponent*) { Hide(); }

void RunSplashOnly(const wchar_t* title) {
  Application().Title = title ? title : L"";
  std::unique_ptr<TInformationForm> splash(new TInformationForm(nullptr));
  splash->Position = poScreenCenter;
  splash->SetCaption(L"Starting ... ");
  splash->InformLabel->SetCaption(L"Initialize");
  splash->Show();
  // About two seconds, handling the window's messages meanwhile.
  for (int i = 0; i < 40 && splash->Visible(); ++i) {
    Application().ProcessMessages();
    Sys().Sleep(50);
  }
  splash->Hide();
}

}  // namespace Q
