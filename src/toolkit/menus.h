// Actions, action lists, image lists, menu items and menus.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "toolkit/component.h"

namespace Q {

class TImageList;

// A 16x16 image strip (a bitmap resource of the program: `ResourceName`, images side by
// side, magenta transparent).
class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner) : TComponent(owner) {}
  const char* ClassName() const override { return "TImageList"; }
  int Width = 16;
  int Height = 16;
  std::wstring ResourceName;  // e.g. L"IMAGES_MAIN"
  int Count = 0;              // images in the strip
};

// A command with its texts and state; menu items, buttons and tool buttons linked to it
// follow its state and execute it.
class TAction : public TComponent {
 public:
  explicit TAction(TComponent* owner) : TComponent(owner) {}
  ~TAction() override;
  const char* ClassName() const override { return "TAction"; }

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(const std::wstring& v) { caption_ = v; Notify(acCaption); }
  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& v) { hint_ = v; Notify(acHint); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { if (enabled_ != v) { enabled_ = v; Notify(acEnabled); } }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { if (visible_ != v) { visible_ = v; Notify(acVisible); } }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { if (checked_ != v) { checked_ = v; Notify(acChecked); } }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v) { imageIndex_ = v; Notify(acImageIndex); }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut v) { shortCut_ = v; Notify(acShortCut); }

  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;
  // Runs OnExecute when the action is enabled; true when it ran.
  bool Execute();
  void Update() {
    if (OnUpdate) OnUpdate(this);
  }

  // Clients (controls and menu items) that follow this action.
  void AddClient(TComponent* c);
  void RemoveClient(TComponent* c);

 private:
  void Notify(unsigned what);
  std::wstring caption_, hint_;
  bool enabled_ = true, visible_ = true, checked_ = false;
  int imageIndex_ = -1;
  TShortCut shortCut_ = 0;
  std::vector<TComponent*> clients_;
};

class TActionList : public TComponent {
 public:
  explicit TActionList(TComponent* owner) : TComponent(owner) {}
  const char* ClassName() const override { return "TActionList"; }
  TImageList* Images = nullptr;
  // Creates an action owned by the list's owner (as designs do) and listed here.
  TAction* Add(const std::wstring& name, const std::wstring& caption, int imageIndex = -1,
               TShortCut shortCut = 0);
  const std::vector<TAction*>& Actions() const { return actions_; }
  // Executes the enabled, visible action whose shortcut is `shortCut`; true when one ran.
  bool HandleShortCut(TShortCut shortCut);

 private:
  std::vector<TAction*> actions_;
};

class TMenu;

// A menu entry; its sub-items are its children (owned by the item).
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
  ~TMenuItem() override;
  const char* ClassName() const override { return "TMenuItem"; }

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(const std::wstring& v) { caption_ = v; }
  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& v) { hint_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }
  bool RadioItem = false;
  bool Default = false;  // shown bold (tray menu's main command)
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v) { imageIndex_ = v; }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut v) { shortCut_ = v; }
  bool IsSeparator() const { return caption_ == L"-"; }

  TAction* Action() const { return action_; }
  void SetAction(TAction* action);
  // Takes over what the action changed (everything when linked).
  void ActionChanged(unsigned what = acAll);

  // Sub-items (owned by this item).
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  TMenuItem* Parent() const { return parent_; }
  // Creates a sub-item owned by `owner` (the form, as designs do) and adds it here.
  TMenuItem* Add(TComponent* owner, const std::wstring& name, const std::wstring& caption);
  TMenuItem* AddAction(TComponent* owner, const std::wstring& name, TAction* action);
  TMenuItem* AddSeparator(TComponent* owner);
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  void Clear();

  TNotifyEvent OnClick;
  // Runs the action or the click handler (a disabled item does nothing).
  void Click();

 private:
  std::wstring caption_, hint_;
  bool enabled_ = true, visible_ = true, checked_ = false;
  int imageIndex_ = -1;
  TShortCut shortCut_ = 0;
  TAction* action_ = nullptr;
  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
};

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  TMenuItem* Items() const { return root_; }
  TImageList* Images = nullptr;
  // Finds the enabled item (at any depth) with `shortCut` and clicks it.
  bool HandleShortCut(TShortCut shortCut);

 private:
  TMenuItem* root_;
};

class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  const char* ClassName() const override { return "TMainMenu"; }
};

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* owner) : TMenu(owner) {}
  const char* ClassName() const override { return "TPopupMenu"; }
  TNotifyEvent OnPopup;
  // The control the menu was opened on.
  TControl* PopupComponent = nullptr;
  // Runs OnPopup and shows the menu (headless: only OnPopup; a test then clicks items).
  void Popup(int screenX, int screenY);
};

}  // namespace Q
