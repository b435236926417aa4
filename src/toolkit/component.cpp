#include "toolkit/component.h"

#include <algorithm>
#include <exception>

#include "app/error.h"
#include "platform/system.h"
#include "toolkit/controls.h"
#include "toolkit/menus.h"

namespace Q {

// --- TStrings -------------------------------------------------------------------------

void TStrings::Set(int index, const std::wstring& text) {
  items_.at(static_cast<size_t>(index)) = text;
  Changed();
}

int TStrings::Add(const std::wstring& text) { return AddObject(text, nullptr); }

int TStrings::AddObject(const std::wstring& text, void* object) {
  items_.push_back(text);
  objects_.push_back(object);
  Changed();
  return Count() - 1;
}

void TStrings::Insert(int index, const std::wstring& text) {
  if (index < 0 || index > Count()) index = Count();
  items_.insert(items_.begin() + index, text);
  objects_.insert(objects_.begin() + index, nullptr);
  Changed();
}

void TStrings::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
  objects_.erase(objects_.begin() + index);
  Changed();
}

void TStrings::Clear() {
  if (items_.empty()) return;
  items_.clear();
  objects_.clear();
  Changed();
}

int TStrings::IndexOf(const std::wstring& text) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)] == text) return i;
  return -1;
}

std::wstring TStrings::Text() const {
  std::wstring out;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i) out += L"\r\n";
    out += items_[i];
  }
  return out;
}

void TStrings::SetText(const std::wstring& text) {
  items_.clear();
  objects_.clear();
  size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    size_t end = text.find(L'\n', start);
    std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos
                                                                     : end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (end == std::wstring::npos) {
      if (!line.empty()) {
        items_.push_back(line);
        objects_.push_back(nullptr);
      }
      break;
    }
    items_.push_back(line);
    objects_.push_back(nullptr);
    start = end + 1;
  }
  Changed();
}

void TStrings::Assign(const std::vector<std::wstring>& items) {
  items_ = items;
  objects_.assign(items.size(), nullptr);
  Changed();
}

// --- Shortcut texts -------------------------------------------------------------------

std::wstring ShortCutToText(TShortCut shortCut) {
  std::wstring out;
  if (shortCut & scCtrl) out += L"Ctrl+";
  if (shortCut & scShift) out += L"Shift+";
  if (shortCut & scAlt) out += L"Alt+";
  const unsigned key = shortCut & 0xFF;
  if (key >= 0x70 && key <= 0x87) {
    out += L"F" + std::to_wstring(key - 0x70 + 1);
  } else if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
    out += static_cast<wchar_t>(key);
  } else {
    switch (key) {
      case 0x2E: out += L"Del"; break;
      case 0x2D: out += L"Ins"; break;
      case 0x0D: out += L"Enter"; break;
      case 0x1B: out += L"Esc"; break;
      case 0x20: out += L"Space"; break;
      case 0x08: out += L"BkSp"; break;
      default: if (key) out += L"#" + std::to_wstring(key); break;
    }
  }
  return out;
}

// --- TComponent -----------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  while (!components_.empty()) {
    TComponent* last = components_.back();
    components_.pop_back();
    last->owner_ = nullptr;
    delete last;
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(components_.begin(), components_.end(), c);
  if (it != components_.end()) components_.erase(it);
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
  for (TComponent* c : components_)
    if (c->name_ == name) return c;
  return nullptr;
}

// --- TControl -------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  // Child windows go before their parent's, so no stale window handle is destroyed later.
  DestroyHandles();
  if (Application().Focus == this) Application().Focus = nullptr;
  if (action_) action_->RemoveClient(this);
  for (TControl* child : controls_) child->parent_ = nullptr;
  controls_.clear();
  if (parent_) {
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TControl::SetParent(TControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    DestroyHandles();
    if (align_ != alNone) parent_->Realign();
  }
  parent_ = parent;
  if (parent_) {
    parent_->controls_.push_back(this);
    if (align_ != alNone) parent_->Realign();
    if (parent_->HandleAllocated()) CreateHandles();
  }
}

TForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c) {
    if (auto* form = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(form);
    c = c->parent_;
  }
  return nullptr;
}

void TControl::SetCaption(const std::wstring& text) {
  if (caption_ == text) return;
  caption_ = text;
  Changed(TChange::kText);
}

void TControl::SetHint(const std::wstring& text) {
  if (hint_ == text) return;
  hint_ = text;
  Changed(TChange::kHint);
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  // A top-level form gets its native window when it is first shown.
  if (visible && !parent_ && !peer_ && Application().Backend() && dynamic_cast<TForm*>(this))
    CreateHandles();
  if (!visible && Application().Focus && Application().Focus != this) {
    // A hidden control cannot keep the focus of one of its children.
    for (TControl* c = Application().Focus; c; c = c->parent_)
      if (c == this) {
        Application().Focus = nullptr;
        break;
      }
  }
  Changed(TChange::kVisible);
  RealignIfParentAligns();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed(TChange::kEnabled);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed(TChange::kBounds);
  if (resized) {
    Realign();
    if (auto* form = dynamic_cast<TForm*>(this)) form->DoResize();
  }
  RealignIfParentAligns();
}

void TControl::SetAlign(TAlign align) {
  if (align_ == align) return;
  align_ = align;
  RealignIfParentAligns();
}

void TControl::RealignIfParentAligns() {
  if (parent_ && align_ != alNone && !parent_->aligning_) parent_->Realign();
}

TRect TControl::ClientRect() const { return TRect{0, 0, width_, height_}; }

void TControl::Realign() {
  if (aligning_) return;
  aligning_ = true;
  TRect r = ClientRect();
  static const TAlign kOrder[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TAlign pass : kOrder) {
    for (TControl* c : controls_) {
      if (c->align_ != pass || !c->visible_) continue;
      switch (pass) {
        case alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), c->height_);
          r.Top += c->height_;
          break;
        case alBottom:
          c->SetBounds(r.Left, r.Bottom - c->height_, r.Width(), c->height_);
          r.Bottom -= c->height_;
          break;
        case alLeft:
          c->SetBounds(r.Left, r.Top, c->width_, r.Height());
          r.Left += c->width_;
          break;
        case alRight:
          c->SetBounds(r.Right - c->width_, r.Top, c->width_, r.Height());
          r.Right -= c->width_;
          break;
        case alClient:
          c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
          break;
        default:
          break;
      }
      if (r.Bottom < r.Top) r.Bottom = r.Top;
      if (r.Right < r.Left) r.Right = r.Left;
    }
  }
  aligning_ = false;
}

void TControl::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  Changed(TChange::kColor);
}

void TControl::SetFont(const TFont& font) {
  if (font_ == font) return;
  font_ = font;
  Changed(TChange::kFont);
}

void TControl::SetAction(TAction* action) {
  if (action_ == action) return;
  if (action_) action_->RemoveClient(this);
  action_ = action;
  if (action_) {
    action_->AddClient(this);
    ActionChanged();
  }
}

void TControl::ActionChanged(unsigned what) {
  if (!action_) return;
  if (what & acCaption) SetCaption(action_->Caption());
  if (what & acHint) SetHint(action_->Hint());
  if (what & acEnabled) SetEnabled(action_->Enabled());
  if (what & acVisible) SetVisible(action_->Visible());
}

void TControl::Click() {
  if (!enabled_) return;
  if (action_) {
    action_->Execute();
    return;
  }
  if (OnClick) OnClick(this);
}

void TControl::ContextPopup(int x, int y) {
  bool handled = false;
  if (OnContextPopup) OnContextPopup(this, x, y, handled);
  if (handled || !PopupMenu) return;
  PopupMenu->PopupComponent = this;
  PopupMenu->Popup(x, y);
}

bool TControl::CanFocus() const { return Showing() && enabled_; }

void TControl::SetFocus() {
  if (!CanFocus()) return;
  Application().Focus = this;
  if (TForm* form = ParentForm()) form->ActiveControl = this;
  Changed(TChange::kFocus);
}

bool TControl::Focused() const { return Application().Focus == this; }

void TControl::CreateHandles() {
  IWindowBackend* backend = Application().Backend();
  if (!backend) return;
  if (!peer_) peer_ = backend->CreatePeer(this);
  for (TControl* child : controls_) child->CreateHandles();
  if (peer_) peer_->Update(TChange::kCreate, nullptr);
}

void TControl::DestroyHandles() {
  for (TControl* child : controls_) child->DestroyHandles();
  peer_.reset();
}

void TControl::Changed(TChange change, const void* detail) {
  if (peer_ && !fromPeer_) peer_->Update(change, detail);
}

// --- TApplication ---------------------------------------------------------------------

TApplication& Application() {
  static TApplication app;
  return app;
}

void TApplication::ProcessMessages() {
  if (backend_) backend_->ProcessMessages();
}

void TApplication::Run(TForm* main) {
  terminated_ = false;
  if (main) MainForm = main;
  if (backend_) backend_->Run(MainForm);
}

void TApplication::Terminate() {
  terminated_ = true;
  if (backend_) backend_->Terminate();
}

void TApplication::ShowException(const std::exception* e) {
  const std::string text = e ? e->what() : "Unknown error";
  std::wstring wide;
  const int n = Sys().MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n > 0) {
    std::vector<wchar_t> buffer(static_cast<size_t>(n));
    if (Sys().MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(), n) > 0) wide = buffer.data();
  }
  HWND owner = MainForm ? static_cast<HWND>(MainForm->Handle()) : nullptr;
  Sys().MessageBoxW(owner, wide.c_str(), Title.c_str(), MB_OK | MB_ICONERROR);
}

void RunGuarded(const std::function<void()>& fn) {
  TApplication& app = Application();
  try {
    fn();
  } catch (TError* error) {
    ShowError(error);
  } catch (const std::exception& e) {
    if (app.OnException)
      app.OnException(&e);
    else
      app.ShowException(&e);
  } catch (...) {
    if (app.OnException)
      app.OnException(nullptr);
    else
      app.ShowException(nullptr);
  }
}

}  // namespace Q
