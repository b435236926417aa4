// The dialogs service: message boxes (through the system seam's MessageBoxW), modal forms,
// open and save dialogs, the folder browser and the wait cursor. The Win32 backend shows
// real dialogs; headless, a test queues the answers and reads back what was asked.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/seam.h"
#include "toolkit/component.h"

namespace Q {

class TForm;

enum TOpenOption : unsigned {
  ofOverwritePrompt = 0x1,
  ofHideReadOnly = 0x2,
  ofPathMustExist = 0x4,
  ofFileMustExist = 0x8,
  ofAllowMultiSelect = 0x10,
};

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}
  const char* ClassName() const override { return "TOpenDialog"; }
  std::wstring Title;
  // "Text|*.txt|All files|*.*"
  std::wstring Filter;
  int FilterIndex = 1;
  std::wstring FileName;
  std::wstring DefaultExt;
  std::wstring InitialDir;
  unsigned Options = ofHideReadOnly | ofPathMustExist;
  // Shows the dialog; true with FileName set when the user chose a file.
  virtual bool Execute();
  virtual bool IsSave() const { return false; }
};

class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {
    Options |= ofOverwritePrompt;
  }
  const char* ClassName() const override { return "TSaveDialog"; }
  bool IsSave() const override { return true; }
};

// The modal seams of the toolkit.
class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // Runs `form` modally and returns its modal result.
  virtual int ShowModal(TForm* form) = 0;
  // Open or save dialog; true (and dialog->FileName set) when a file was chosen.
  virtual bool ExecuteFileDialog(TOpenDialog* dialog) = 0;
  // Folder browser (shell); true with `path` (8-bit) set when a folder was chosen.
  virtual bool BrowseForFolder(TControl* owner, const std::string& title, std::string* path) = 0;
};

// The active dialogs service (headless unless the Win32 backend installed its own).
IDialogs& Dialogs();
IDialogs* InstallDialogs(IDialogs* dialogs);

// A message box through the system seam, owned by `owner`'s window when it has one.
int MessageBox(TControl* owner, const std::wstring& text, const std::wstring& caption,
               unsigned flags);

// Headless dialogs: answers come from queues; every request is recorded.
class HeadlessDialogs : public IDialogs {
 public:
  // Modal forms: a queued handler runs with the form (it may fill fields) and returns the
  // modal result; with none queued the form's own ModalResult (or mrCancel) is returned.
  void QueueModal(std::function<int(TForm*)> handler) { modal_.push_back(std::move(handler)); }
  void QueueModalResult(int result) {
    modal_.push_back([result](TForm*) { return result; });
  }
  // File dialogs: a queued file name, or cancel.
  void QueueFileName(const std::wstring& name) { files_.push_back({true, name}); }
  void QueueFileCancel() { files_.push_back({false, L""}); }
  void QueueFolder(const std::string& path) { folders_.push_back({true, path}); }
  void QueueFolderCancel() { folders_.push_back({false, ""}); }

  struct FileRequest {
    bool save;
    std::wstring title, filter, fileName, defaultExt;
  };
  const std::vector<std::wstring>& ModalForms() const { return modalForms_; }
  const std::vector<FileRequest>& FileRequests() const { return fileRequests_; }
  const std::vector<std::string>& FolderRequests() const { return folderRequests_; }
  void Reset();

  int ShowModal(TForm* form) override;
  bool ExecuteFileDialog(TOpenDialog* dialog) override;
  bool BrowseForFolder(TControl* owner, const std::string& title, std::string* path) override;

 private:
  std::deque<std::function<int(TForm*)>> modal_;
  std::deque<std::pair<bool, std::wstring>> files_;
  std::deque<std::pair<bool, std::string>> folders_;
  std::vector<std::wstring> modalForms_;
  std::vector<FileRequest> fileRequests_;
  std::vector<std::string> folderRequests_;
};

// Installs a fresh headless dialogs service for a scope (tests).
class ScopedHeadlessDialogs {
 public:
  ScopedHeadlessDialogs() : previous_(InstallDialogs(&dialogs_)) {}
  ~ScopedHeadlessDialogs() { InstallDialogs(previous_); }
  HeadlessDialogs* operator->() { return &dialogs_; }
  HeadlessDialogs& operator*() { return dialogs_; }

 private:
  HeadlessDialogs dialogs_;
  IDialogs* previous_;
};

// The hourglass while an operation runs; the previous cursor comes back afterwards, also
// when the operation throws.
class TWaitCursor {
 public:
  TWaitCursor();
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  void* previous_;
};

}  // namespace Q
