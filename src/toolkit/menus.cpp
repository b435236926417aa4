#include "toolkit/menus.h"

#include <algorithm>

#include "toolkit/comctrls.h"
#include "toolkit/controls.h"

namespace Q {

// --- TAction --------------------------------------------------------------------------

TAction::~TAction() {
  // Clients must not keep a dangling link.
  std::vector<TComponent*> clients;
  clients.swap(clients_);
  for (TComponent* c : clients) {
    if (auto* control = dynamic_cast<TControl*>(c)) control->SetAction(nullptr);
    if (auto* item = dynamic_cast<TMenuItem*>(c)) item->SetAction(nullptr);
  }
}

bool TAction::Execute() {
  Update();
  if (!enabled_ || !OnExecute) return false;
  OnExecute(this);
  return true;
}

void TAction::AddClient(TComponent* c) {
  if (std::find(clients_.begin(), clients_.end(), c) == clients_.end()) clients_.push_back(c);
}

void TAction::RemoveClient(TComponent* c) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), c), clients_.end());
}

void TAction::Notify(unsigned what) {
  for (TComponent* c : clients_) {
    if (auto* control = dynamic_cast<TControl*>(c)) control->ActionChanged(what);
    if (auto* item = dynamic_cast<TMenuItem*>(c)) item->ActionChanged(what);
  }
}

TAction* TActionList::Add(const std::wstring& name, const std::wstring& caption, int imageIndex,
                          TShortCut shortCut) {
  auto* action = new TAction(Owner() ? Owner() : this);
  action->SetName(name);
  action->SetCaption(caption);
  action->SetImageIndex(imageIndex);
  action->SetShortCut(shortCut);
  actions_.push_back(action);
  return action;
}

bool TActionList::HandleShortCut(TShortCut shortCut) {
  for (TAction* a : actions_) {
    if (a->ShortCut() != shortCut || shortCut == 0) continue;
    a->Update();
    if (a->Enabled() && a->Visible()) return a->Execute();
  }
  return false;
}

// --- TMenuItem ------------------------------------------------------------------------

TMenuItem::~TMenuItem() {
  if (action_) action_->RemoveClient(this);
  for (TMenuItem* item : items_) item->parent_ = nullptr;
  if (parent_) parent_->Remove(this);
}

void TMenuItem::SetAction(TAction* action) {
  if (action_ == action) return;
  if (action_) action_->RemoveClient(this);
  action_ = action;
  if (action_) {
    action_->AddClient(this);
    ActionChanged();
  }
}

void TMenuItem::ActionChanged(unsigned what) {
  if (!action_) return;
  if (what & acCaption) caption_ = action_->Caption();
  if (what & acHint) hint_ = action_->Hint();
  if (what & acEnabled) enabled_ = action_->Enabled();
  if (what & acVisible) visible_ = action_->Visible();
  if (what & acChecked) checked_ = action_->Checked();
  if (what & acImageIndex) imageIndex_ = action_->ImageIndex();
  if (what & acShortCut) shortCut_ = action_->ShortCut();
}

TMenuItem* TMenuItem::Add(TComponent* owner, const std::wstring& name,
                          const std::wstring& caption) {
  auto* item = new TMenuItem(owner);
  item->SetName(name);
  item->SetCaption(caption);
  Add(item);
  return item;
}

TMenuItem* TMenuItem::AddAction(TComponent* owner, const std::wstring& name, TAction* action) {
  TMenuItem* item = Add(owner, name, L"");
  item->SetAction(action);
  return item;
}

TMenuItem* TMenuItem::AddSeparator(TComponent* owner) { return Add(owner, L"", L"-"); }

void TMenuItem::Add(TMenuItem* item) {
  if (item->parent_) item->parent_->Remove(item);
  item->parent_ = this;
  items_.push_back(item);
}

void TMenuItem::Remove(TMenuItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  item->parent_ = nullptr;
}

void TMenuItem::Clear() {
  std::vector<TMenuItem*> items;
  items.swap(items_);
  for (TMenuItem* item : items) {
    item->parent_ = nullptr;
    delete item;
  }
}

void TMenuItem::Click() {
  if (action_) action_->Update();
  if (!enabled_) return;
  if (action_) {
    action_->Execute();
    return;
  }
  if (OnClick) OnClick(this);
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), root_(new TMenuItem(this)) {}

namespace {
bool ClickShortCut(TMenuItem* item, TShortCut shortCut) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* child = item->Items(i);
    if (child->Action()) child->Action()->Update();
    if (child->ShortCut() == shortCut && child->Enabled() && child->Visible()) {
      child->Click();
      return true;
    }
    if (ClickShortCut(child, shortCut)) return true;
  }
  return false;
}
}  // namespace

bool TMenu::HandleShortCut(TShortCut shortCut) {
  return shortCut != 0 && ClickShortCut(root_, shortCut);
}

void TPopupMenu::Popup(int screenX, int screenY) {
  if (OnPopup) OnPopup(this);
  for (int i = 0; i < Items()->Count(); ++i) {
    TMenuItem* item = Items()->Items(i);
    if (item->Action()) item->Action()->Update();
  }
  if (Application().Backend()) Application().Backend()->Popup(this, screenX, screenY);
}

}  // namespace Q
