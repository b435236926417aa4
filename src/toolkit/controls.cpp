#include "toolkit/controls.h"

#include <algorithm>
#include <cwctype>

#include "toolkit/comctrls.h"
#include "toolkit/dialogs.h"

namespace Q {

// --- TForm ----------------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TControl(owner) {
  SetVisible(false);
  SetBounds(0, 0, 400, 300);
}

TForm::~TForm() {
  if (OnDestroy) OnDestroy(this);
  if (Application().MainForm == this) Application().MainForm = nullptr;
}

void TForm::SetWindowState(TWindowState state) {
  if (windowState_ == state) return;
  windowState_ = state;
  Changed(TChange::kState);
  if (OnWindowStateChange) OnWindowStateChange(this);
}

void TForm::PeerSetWindowState(TWindowState state) {
  FromPeerScope s(this);
  SetWindowState(state);
}

int TForm::ShowModal() {
  modal_ = true;
  modalResult_ = mrNone;
  int result = mrCancel;
  try {
    result = Dialogs().ShowModal(this);
  } catch (...) {
    modal_ = false;
    throw;
  }
  modal_ = false;
  return result;
}

void TForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  if (OnClose) OnClose(this);
  if (modal_ && modalResult_ == mrNone) modalResult_ = mrCancel;
  Hide();
  if (Application().MainForm == this && !modal_) Application().Terminate();
}

namespace {
void CollectTabStops(TControl* c, std::vector<TControl*>& out) {
  std::vector<TControl*> children;
  for (int i = 0; i < c->ControlCount(); ++i) children.push_back(c->Controls(i));
  // Explicit tab orders first (ascending), then the others in child order.
  std::stable_sort(children.begin(), children.end(), [](TControl* a, TControl* b) {
    const int ta = a->TabOrder < 0 ? 1 << 30 : a->TabOrder;
    const int tb = b->TabOrder < 0 ? 1 << 30 : b->TabOrder;
    return ta < tb;
  });
  for (TControl* child : children) {
    if (!child->Visible() || !child->Enabled()) continue;
    if (child->TabStop) out.push_back(child);
    CollectTabStops(child, out);
  }
}
}  // namespace

std::vector<TControl*> TForm::TabSequence() const {
  std::vector<TControl*> out;
  CollectTabStops(const_cast<TForm*>(this), out);
  return out;
}

void TForm::SelectNext(bool forward) {
  std::vector<TControl*> seq = TabSequence();
  if (seq.empty()) return;
  auto it = std::find(seq.begin(), seq.end(), Application().Focus);
  size_t index;
  if (it == seq.end()) {
    index = forward ? 0 : seq.size() - 1;
  } else {
    const size_t at = static_cast<size_t>(it - seq.begin());
    index = forward ? (at + 1) % seq.size() : (at + seq.size() - 1) % seq.size();
  }
  seq[index]->SetFocus();
}

namespace {
bool ActionListsHandle(TComponent* owner, TShortCut shortCut) {
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    if (auto* list = dynamic_cast<TActionList*>(owner->Components(i)))
      if (list->HandleShortCut(shortCut)) return true;
  }
  return false;
}
}  // namespace

namespace {
// The accelerator character of a caption ("&Apply" -> 'A'), or 0.
wchar_t Mnemonic(const std::wstring& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != L'&') continue;
    if (caption[i + 1] == L'&') {
      ++i;
      continue;
    }
    return static_cast<wchar_t>(towupper(caption[i + 1]));
  }
  return 0;
}
}  // namespace

bool TForm::HandleMnemonic(wchar_t key) {
  key = static_cast<wchar_t>(towupper(key));
  for (int i = 0; i < ComponentCount(); ++i) {
    auto* c = dynamic_cast<TControl*>(Components(i));
    if (!c || !c->Showing() || !c->Enabled() || Mnemonic(c->Caption()) != key) continue;
    if (auto* label = dynamic_cast<TLabel*>(c)) {
      if (!label->FocusControl || !label->FocusControl->CanFocus()) continue;
      label->FocusControl->SetFocus();
      return true;
    }
    if (dynamic_cast<TButton*>(c) || dynamic_cast<TSpeedButton*>(c) ||
        dynamic_cast<TCheckBox*>(c) || dynamic_cast<TRadioButton*>(c)) {
      c->SetFocus();
      c->Click();
      return true;
    }
  }
  return false;
}

bool TForm::HandleShortCut(TShortCut shortCut) {
  if (shortCut == 0) return false;
  if (Menu && Menu->HandleShortCut(shortCut)) return true;
  // Popup menus of the focused control and its parents.
  for (TControl* c = Application().Focus; c; c = c->Parent())
    if (c->PopupMenu && c->PopupMenu->HandleShortCut(shortCut)) return true;
  if (ActionListsHandle(this, shortCut)) return true;
  // Alt with the underlined letter of a caption.
  const unsigned letter = shortCut & 0xFF;
  if ((shortCut & ~0xFFu) == scAlt && ((letter >= 'A' && letter <= 'Z') || (letter >= '0' && letter <= '9')))
    if (HandleMnemonic(static_cast<wchar_t>(letter))) return true;
  // Enter on a focused button clicks it; otherwise default and cancel buttons.
  const unsigned key = shortCut & 0xFF;
  if (key == 0x0D && (shortCut & ~0xFFu) == 0)
    if (auto* focused = dynamic_cast<TButton*>(Application().Focus))
      if (focused->ParentForm() == this && focused->Showing() && focused->Enabled()) {
        focused->Click();
        return true;
      }
  // Arrow keys move between the radio buttons of one parent.
  if ((key >= 0x25 && key <= 0x28) && (shortCut & ~0xFFu) == 0)
    if (auto* radio = dynamic_cast<TRadioButton*>(Application().Focus)) {
      std::vector<TRadioButton*> group;
      for (int i = 0; radio->Parent() && i < radio->Parent()->ControlCount(); ++i)
        if (auto* r = dynamic_cast<TRadioButton*>(radio->Parent()->Controls(i)))
          if (r->Showing() && r->Enabled()) group.push_back(r);
      auto it = std::find(group.begin(), group.end(), radio);
      if (it != group.end() && group.size() > 1) {
        const bool forward = key == 0x27 || key == 0x28;  // right, down
        const size_t at = static_cast<size_t>(it - group.begin());
        TRadioButton* next = group[forward ? (at + 1) % group.size() : (at + group.size() - 1) % group.size()];
        next->SetFocus();
        next->Click();
        return true;
      }
    }
  if ((key == 0x0D || key == 0x1B) && (shortCut & ~0xFFu) == 0) {
    for (int i = 0; i < ComponentCount(); ++i) {
      auto* button = dynamic_cast<TButton*>(Components(i));
      if (!button || !button->Showing() || !button->Enabled()) continue;
      if ((key == 0x0D && button->Default) || (key == 0x1B && button->Cancel)) {
        button->Click();
        return true;
      }
    }
  }
  return false;
}

// --- Buttons and edits ----------------------------------------------------------------

void TButton::Click() {
  if (!Enabled()) return;
  TControl::Click();
  if (ModalResult != mrNone)
    if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
}

void TCustomEdit::UserSetText(const std::wstring& text) {
  {
    FromPeerScope s(this);
    SetText(text);
  }
  if (OnChange) OnChange(this);
}

TLabeledEdit::TLabeledEdit(TComponent* owner) : TCustomEdit(owner), label_(new TBoundLabel(this)) {
  label_->SetName(L"SubLabel");
}

void TLabeledEdit::PlaceLabel() {
  label_->SetParent(Parent());
  label_->SetBounds(Left(), Top() - 16, Width(), 13);
}

TMemo::TMemo(TComponent* owner) : TControl(owner) {
  TabStop = true;
  SetColor(clWindow);
  lines_.OnChange = [this] { Changed(TChange::kItems); };
}

// --- Check and radio boxes -------------------------------------------------------------

void TCheckBox::SetChecked(bool v) {
  if (checked_ == v) return;
  checked_ = v;
  Changed(TChange::kState);
  if (OnClick) OnClick(this);
}

void TCheckBox::Click() {
  if (!Enabled()) return;
  // A user click toggles the state, which runs OnClick.
  SetChecked(!checked_);
}

void TRadioButton::SetChecked(bool v) {
  if (checked_ == v) return;
  checked_ = v;
  Changed(TChange::kState);
  if (v && Parent()) {
    for (int i = 0; i < Parent()->ControlCount(); ++i)
      if (auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i)))
        if (other != this) other->SetChecked(false);
  }
  if (v && OnClick) OnClick(this);
}

void TRadioButton::Click() {
  if (Enabled()) SetChecked(true);
}

TRect TCustomGroupBox::ClientRect() const {
  // Room for the frame and the caption line.
  return TRect{6, 16, Width() - 6, Height() - 6};
}

TRadioGroup::TRadioGroup(TComponent* owner) : TCustomGroupBox(owner) {
  items_.OnChange = [this] { Changed(TChange::kItems); };
}

void TRadioGroup::SetItemIndex(int index) {
  if (index < -1 || index >= items_.Count()) index = -1;
  if (itemIndex_ == index) return;
  itemIndex_ = index;
  Changed(TChange::kSelection);
  if (OnChange) OnChange(this);
}

// --- Lists ----------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* owner) : TControl(owner) {
  TabStop = true;
  SetColor(clWindow);
  SetHeight(21);
  items_.OnChange = [this] {
    if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
    Changed(TChange::kItems);
  };
}

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= items_.Count()) index = -1;
  itemIndex_ = index;
  {
    FromPeerScope s(this);  // the peer shows the selection, not a typed text
    SetText(index >= 0 ? items_[index] : std::wstring());
  }
  Changed(TChange::kSelection);
}

void TComboBox::UserSelect(int index) {
  {
    FromPeerScope s(this);
    SetItemIndex(index);
  }
  if (OnChange) OnChange(this);
}

TCheckListBox::TCheckListBox(TComponent* owner) : TControl(owner) {
  TabStop = true;
  SetColor(clWindow);
  items_.OnChange = [this] {
    checked_.resize(static_cast<size_t>(items_.Count()), false);
    if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
    Changed(TChange::kItems);
  };
}

bool TCheckListBox::Checked(int index) const {
  if (index < 0 || index >= static_cast<int>(checked_.size())) return false;
  return checked_[static_cast<size_t>(index)];
}

void TCheckListBox::SetChecked(int index, bool v) {
  if (index < 0 || index >= items_.Count()) return;
  checked_.resize(static_cast<size_t>(items_.Count()), false);
  if (checked_[static_cast<size_t>(index)] == v) return;
  checked_[static_cast<size_t>(index)] = v;
  Changed(TChange::kItem, &index);
}

void TCheckListBox::SetItemIndex(int index) {
  if (index < -1 || index >= items_.Count()) index = -1;
  itemIndex_ = index;
  Changed(TChange::kSelection);
}

void TCheckListBox::UserSetChecked(int index, bool v) {
  {
    FromPeerScope s(this);
    SetChecked(index, v);
  }
  if (OnClickCheck) OnClickCheck(this);
}

void TCSpinEdit::SetValue(int v) {
  if (MaxValue > MinValue) v = std::min(std::max(v, MinValue), MaxValue);
  if (value_ == v) return;
  value_ = v;
  Changed(TChange::kState);
}

void TCSpinEdit::UserSetValue(int v) {
  {
    FromPeerScope s(this);
    SetValue(v);
  }
  if (OnChange) OnChange(this);
}

// --- Splitter -------------------------------------------------------------------------

TControl* TSplitter::Target() const {
  TControl* parent = Parent();
  if (!parent) return nullptr;
  TControl* target = nullptr;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == this) break;
    if (c->Align() == Align() && c->Visible()) target = c;
  }
  return target;
}

void TSplitter::MoveBy(int delta) {
  TControl* target = Target();
  if (!target || delta == 0) return;
  switch (Align()) {
    case alLeft: target->SetWidth(std::max(MinSize, target->Width() + delta)); break;
    case alRight: target->SetWidth(std::max(MinSize, target->Width() - delta)); break;
    case alTop: target->SetHeight(std::max(MinSize, target->Height() + delta)); break;
    case alBottom: target->SetHeight(std::max(MinSize, target->Height() - delta)); break;
    default: return;
  }
  if (Parent()) Parent()->Realign();
  if (OnMoved) OnMoved(this);
}

// --- Value list -----------------------------------------------------------------------

TValueListEditor::TValueListEditor(TComponent* owner) : TControl(owner) {
  titles_.Assign({L"Key", L"Value"});
  titles_.OnChange = [this] { Changed(TChange::kItems); };
  strings_.OnChange = [this] { Changed(TChange::kItems); };
}

std::wstring TValueListEditor::Keys(int row) const {
  const std::wstring& line = strings_[row];
  const size_t eq = line.find(L'=');
  return eq == std::wstring::npos ? line : line.substr(0, eq);
}

void TValueListEditor::SetKeys(int row, const std::wstring& key) {
  const std::wstring& line = strings_[row];
  const size_t eq = line.find(L'=');
  strings_.Set(row, key + (eq == std::wstring::npos ? std::wstring(L"=") : line.substr(eq)));
}

}  // namespace Q
