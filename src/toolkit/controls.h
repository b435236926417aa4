// The standard controls: forms, panels, labels, buttons, edits, memos, check and radio
// boxes, group boxes, combo boxes, check lists, spin edits, images, value lists and grids.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "toolkit/component.h"
#include "toolkit/menus.h"

namespace Q {

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition { poDesigned, poScreenCenter, poOwnerFormCenter, poMainFormCenter };
enum TBevel { bvNone, bvLowered, bvRaised };

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  const char* ClassName() const override { return "TForm"; }

  TBorderStyle BorderStyle = bsSizeable;
  bool BorderIcons = true;  // title-bar buttons
  TPosition Position = poDesigned;
  bool KeyPreview = false;
  TMainMenu* Menu = nullptr;
  // The form's client size is Width x Height.

  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  // Runs when the window is minimised, restored or maximised (by code or by the user).
  TNotifyEvent OnWindowStateChange;
  void PeerSetWindowState(TWindowState state);

  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  // Runs the form modally (through the dialogs service); returns the modal result.
  int ShowModal();
  bool Modal() const { return modal_; }
  // Hides the form after OnCloseQuery/OnClose allow it.
  void Close();
  // The control that gets the keyboard when the form is activated.
  TControl* ActiveControl = nullptr;
  // Tab order of the form: the focusable controls in tab sequence.
  std::vector<TControl*> TabSequence() const;
  // Moves the focus to the next (or previous) control of the tab sequence.
  void SelectNext(bool forward);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnResize;
  std::function<void(TComponent*, bool& canClose)> OnCloseQuery;
  TNotifyEvent OnClose;
  TNotifyEvent OnDestroy;

  // Runs OnCreate (the toolkit's default order: after construction has finished).
  void DoCreate() {
    if (OnCreate) OnCreate(this);
  }
  void DoShow() {
    if (OnShow) OnShow(this);
  }
  void DoResize() {
    if (OnResize) OnResize(this);
  }
  // Routes a key press to the form's menus, actions, mnemonics (Alt and the underlined
  // letter of a caption), default and cancel buttons; true when used.
  bool HandleShortCut(TShortCut shortCut);
  // Clicks the button or check box whose caption underlines `key`, or focuses the
  // FocusControl of such a label.
  bool HandleMnemonic(wchar_t key);

  friend class TDialogs;

 private:
  int modalResult_ = mrNone;
  bool modal_ = false;
  TWindowState windowState_ = wsNormal;
};

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TPanel"; }
  TBevel BevelOuter = bvRaised;
  TBevel BevelInner = bvNone;
  TAlignment Alignment = taCenter;
};

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner) : TControl(owner) { SetColor(clBtnFace); }
  const char* ClassName() const override { return "TLabel"; }
  TAlignment Alignment = taLeftJustify;
  bool AutoSize = true;
  bool Transparent = true;
  bool WordWrap = false;
  TControl* FocusControl = nullptr;
};

// A label with a window of its own (not a TLabel, so the two are told apart).
class TStaticText : public TControl {
 public:
  explicit TStaticText(TComponent* owner) : TControl(owner) {}
  TAlignment Alignment = taLeftJustify;
  const char* ClassName() const override { return "TStaticText"; }
};

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner) : TControl(owner) { TabStop = true; }
  const char* ClassName() const override { return "TButton"; }
  bool Default = false;
  bool Cancel = false;
  int ModalResult = mrNone;
  void Click() override;
};

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner) : TButton(owner) {}
  const char* ClassName() const override { return "TBitBtn"; }
  TImageList* Images = nullptr;
  int ImageIndex = -1;
};

class TSpeedButton : public TControl {
 public:
  explicit TSpeedButton(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TSpeedButton"; }
  bool Flat = false;
  TImageList* Images = nullptr;
  int ImageIndex = -1;
};

// The single-line edit behaviour shared by TEdit, TMaskEdit and TLabeledEdit, which are
// three distinct classes (none derives from another).
class TCustomEdit : public TControl {
 public:
  explicit TCustomEdit(TComponent* owner) : TControl(owner) { TabStop = true; SetColor(clWindow); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; Changed(TChange::kState); }
  int MaxLength = 0;
  wchar_t PasswordChar = 0;
  TNotifyEvent OnChange;
  // Sets the text as the user's typing does (runs OnChange).
  void UserSetText(const std::wstring& text);

 private:
  bool readOnly_ = false;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
  const char* ClassName() const override { return "TEdit"; }
};

// An edit with an input mask; the windows use it as a password field (PasswordChar).
class TMaskEdit : public TCustomEdit {
 public:
  explicit TMaskEdit(TComponent* owner) : TCustomEdit(owner) {}
  const char* ClassName() const override { return "TMaskEdit"; }
  std::wstring EditMask;
};

// The label part of a labeled edit.
class TBoundLabel : public TLabel {
 public:
  explicit TBoundLabel(TComponent* owner) : TLabel(owner) {}
  const char* ClassName() const override { return "TBoundLabel"; }
};

// An edit with its own label above it (the label is a sub-component, not owned by the
// form's component list).
class TLabeledEdit : public TCustomEdit {
 public:
  explicit TLabeledEdit(TComponent* owner);
  const char* ClassName() const override { return "TLabeledEdit"; }
  TBoundLabel* EditLabel() const { return label_; }
  // Places the label above the edit (3 pixels gap) in the edit's parent.
  void PlaceLabel();

 private:
  TBoundLabel* label_;
};

class TMemo : public TControl {
 public:
  explicit TMemo(TComponent* owner);
  const char* ClassName() const override { return "TMemo"; }
  TStrings& Lines() { return lines_; }
  // The whole text (lines joined with CR LF).
  std::wstring MemoText() const { return lines_.Text(); }
  void SetMemoText(const std::wstring& text) { lines_.SetText(text); }
  bool ReadOnly = false;
  bool WordWrap = true;
  bool ScrollBars = false;
  TNotifyEvent OnChange;

 private:
  TStrings lines_;
};

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TComponent* owner) : TControl(owner) { TabStop = true; }
  const char* ClassName() const override { return "TCheckBox"; }
  bool Checked() const { return checked_; }
  // Setting the state runs OnClick, as the toolkit this follows does.
  void SetChecked(bool v);
  void Click() override;

 private:
  bool checked_ = false;
};

class TRadioButton : public TControl {
 public:
  explicit TRadioButton(TComponent* owner) : TControl(owner) { TabStop = true; }
  const char* ClassName() const override { return "TRadioButton"; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  void Click() override;

 private:
  bool checked_ = false;
};

// The framed box shared by TGroupBox and TRadioGroup (distinct classes).
class TCustomGroupBox : public TControl {
 public:
  explicit TCustomGroupBox(TComponent* owner) : TControl(owner) {}
  TRect ClientRect() const override;
};

class TGroupBox : public TCustomGroupBox {
 public:
  explicit TGroupBox(TComponent* owner) : TCustomGroupBox(owner) {}
  const char* ClassName() const override { return "TGroupBox"; }
};

class TRadioGroup : public TCustomGroupBox {
 public:
  explicit TRadioGroup(TComponent* owner);
  const char* ClassName() const override { return "TRadioGroup"; }
  TStrings& Items() { return items_; }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  TNotifyEvent OnChange;

 private:
  TStrings items_;
  int itemIndex_ = -1;
};

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TControl {
 public:
  explicit TComboBox(TComponent* owner);
  const char* ClassName() const override { return "TComboBox"; }
  TComboBoxStyle Style = csDropDownList;
  int DropDownCount = 8;
  TStrings& Items() { return items_; }
  int ItemIndex() const { return itemIndex_; }
  // Selects an item (-1: none); the text follows.
  void SetItemIndex(int index);
  TNotifyEvent OnChange;
  // Selection as the user makes it (runs OnChange).
  void UserSelect(int index);

 private:
  TStrings items_;
  int itemIndex_ = -1;
};

class TCheckListBox : public TControl {
 public:
  explicit TCheckListBox(TComponent* owner);
  const char* ClassName() const override { return "TCheckListBox"; }
  TStrings& Items() { return items_; }
  bool Checked(int index) const;
  void SetChecked(int index, bool v);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  TNotifyEvent OnClickCheck;
  // A check change as the user makes it (runs OnClickCheck).
  void UserSetChecked(int index, bool v);

 private:
  TStrings items_;
  std::vector<bool> checked_;
  int itemIndex_ = -1;
};

// An integer field with up/down arrows.
class TCSpinEdit : public TControl {
 public:
  explicit TCSpinEdit(TComponent* owner) : TControl(owner) { TabStop = true; SetColor(clWindow); }
  const char* ClassName() const override { return "TCSpinEdit"; }
  int Value() const { return value_; }
  // Clamped to [MinValue, MaxValue] when MaxValue > MinValue.
  void SetValue(int v);
  int MinValue = 0;
  int MaxValue = 0;
  int Increment = 1;
  TNotifyEvent OnChange;
  void UserSetValue(int v);

 private:
  int value_ = 0;
};

// A picture: a bitmap resource of the program.
class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TImage"; }
  std::wstring ResourceName;
  bool Center = false;
  bool Stretch = false;
  bool Transparent = false;  // magenta pixels show the background
};

class TSplitter : public TControl {
 public:
  explicit TSplitter(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TSplitter"; }
  int MinSize = 30;
  // Moves the splitter by `delta` pixels: the control it splits off (the aligned sibling
  // before it on its side) grows or shrinks, and the parent realigns.
  void MoveBy(int delta);
  TNotifyEvent OnMoved;
  // The sibling the splitter resizes, or null.
  TControl* Target() const;
};

// A key/value grid.
class TValueListEditor : public TControl {
 public:
  explicit TValueListEditor(TComponent* owner);
  const char* ClassName() const override { return "TValueListEditor"; }
  TStrings& TitleCaptions() { return titles_; }
  // Rows as "key=value".
  TStrings& Strings() { return strings_; }
  std::wstring Keys(int row) const;
  void SetKeys(int row, const std::wstring& key);

 private:
  TStrings titles_;
  TStrings strings_;
};

class TStringGrid : public TControl {
 public:
  explicit TStringGrid(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TStringGrid"; }
  int ColCount = 5;
  int RowCount = 5;
};

}  // namespace Q
