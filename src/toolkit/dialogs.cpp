#include "toolkit/dialogs.h"

#include "platform/system.h"
#include "toolkit/controls.h"

namespace Q {
namespace {
IDialogs*& Slot() {
  static IDialogs* current = nullptr;
  return current;
}
}  // namespace

IDialogs& Dialogs() {
  static HeadlessDialogs fallback;
  return Slot() ? *Slot() : fallback;
}

IDialogs* InstallDialogs(IDialogs* dialogs) {
  IDialogs* previous = Slot();
  Slot() = dialogs;
  return previous;
}

bool TOpenDialog::Execute() { return Dialogs().ExecuteFileDialog(this); }

int MessageBox(TControl* owner, const std::wstring& text, const std::wstring& caption,
               unsigned flags) {
  HWND window = owner ? static_cast<HWND>(owner->Handle()) : nullptr;
  return Sys().MessageBoxW(window, text.c_str(), caption.c_str(), flags);
}

void HeadlessDialogs::Reset() {
  modal_.clear();
  files_.clear();
  folders_.clear();
  modalForms_.clear();
  fileRequests_.clear();
  folderRequests_.clear();
}

int HeadlessDialogs::ShowModal(TForm* form) {
  modalForms_.push_back(form->Name());
  form->Show();
  int result = form->ModalResult() != mrNone ? form->ModalResult() : mrCancel;
  if (!modal_.empty()) {
    auto handler = std::move(modal_.front());
    modal_.pop_front();
    result = handler(form);
  }
  form->SetModalResult(result);
  form->Hide();
  return result;
}

bool HeadlessDialogs::ExecuteFileDialog(TOpenDialog* dialog) {
  fileRequests_.push_back(FileRequest{dialog->IsSave(), dialog->Title, dialog->Filter,
                                      dialog->FileName, dialog->DefaultExt});
  if (files_.empty()) return false;
  auto answer = files_.front();
  files_.pop_front();
  if (answer.first) dialog->FileName = answer.second;
  return answer.first;
}

bool HeadlessDialogs::BrowseForFolder(TControl*, const std::string& title, std::string* path) {
  folderRequests_.push_back(title);
  if (folders_.empty()) return false;
  auto answer = folders_.front();
  folders_.pop_front();
  if (answer.first && path) *path = answer.second;
  return answer.first;
}

TWaitCursor::TWaitCursor()
    : previous_(Sys().SetCursor(Sys().LoadCursorW(nullptr, IDC_WAIT))) {}

TWaitCursor::~TWaitCursor() { Sys().SetCursor(static_cast<HCURSOR>(previous_)); }

}  // namespace Q
