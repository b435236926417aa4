// The window toolkit's component model: components with an owner and owned components,
// controls with a parent, children, bounds, alignment and the common properties, and the
// application object. A component holds its whole state; an optional native peer mirrors
// a control into a real window and reports user events back. Without a peer the same
// components run headless (native build and unit tests).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Q {

// The toolkit's own exception type (unreadable XML, bad number text, ...). A handler
// that lets one escape reaches the application's exception hook; HelpContext -1 asks the
// hook to end the program.
class EFrameworkError : public std::runtime_error {
 public:
  explicit EFrameworkError(const std::string& what, int helpContext = 0)
      : std::runtime_error(what), HelpContext(helpContext) {}
  int HelpContext;
};

class TComponent;
class TControl;
class TForm;
class TPopupMenu;
class TAction;

// Sender-only event, the toolkit's most common handler shape.
using TNotifyEvent = std::function<void(TComponent* sender)>;

// What changed in a control; the peer updates that part of its window.
enum class TChange {
  kText,       // caption / text
  kBounds,     // position or size
  kVisible,
  kEnabled,
  kFont,
  kColor,
  kHint,
  kItems,      // list content (rebuild)
  kItem,       // one item of a list (detail: the item)
  kSelection,  // selected item / index / page / checked state
  kState,      // kind-specific state (checked, value, read-only, style)
  kImages,
  kFocus,
  kCreate,    // the control was re-created (children added after the peer)
};

// A native peer: mirrors one control into a real window.
class IPeer {
 public:
  virtual ~IPeer() = default;
  virtual void Update(TChange change, const void* detail) = 0;
  // The native window handle (HWND), or null.
  virtual void* Handle() const = 0;
  // The item (tree node, list item) at client point (x, y), or null.
  virtual const void* ItemAt(int x, int y) const { return nullptr; }
};

// The window backend: creates peers and runs the message loop. Headless when none is
// installed.
class IWindowBackend {
 public:
  virtual ~IWindowBackend() = default;
  virtual std::unique_ptr<IPeer> CreatePeer(TControl* control) = 0;
  // Runs a modal loop for `form` until its ModalResult is set; returns it.
  virtual int RunModal(TForm* form) = 0;
  // Handles the pending messages once.
  virtual void ProcessMessages() = 0;
  // Runs the message loop until `main` closes or Terminate.
  virtual void Run(TForm* main) = 0;
  virtual void Terminate() = 0;
  // Shows `menu` at screen position (x, y).
  virtual void Popup(TPopupMenu* menu, int x, int y) = 0;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

// What an action changed; its clients take over only that. Linking takes everything.
enum TActionChange : unsigned {
  acCaption = 1u << 0,
  acHint = 1u << 1,
  acEnabled = 1u << 2,
  acVisible = 1u << 3,
  acChecked = 1u << 4,
  acImageIndex = 1u << 5,
  acShortCut = 1u << 6,
  acAll = 0x7Fu,
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TCursor { crDefault, crHandPoint, crHourGlass };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Colours as 0x00BBGGRR like the platform's COLORREF; system colours are flagged.
using TColor = std::uint32_t;
constexpr TColor clSystemFlag = 0x80000000u;
constexpr TColor clBtnFace = clSystemFlag | 15;
constexpr TColor clWindow = clSystemFlag | 5;
constexpr TColor clWindowText = clSystemFlag | 8;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clNavy = 0x800000;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clGray = 0x808080;
constexpr TColor clSkyBlue = 0xF0CAA6;

struct TFont {
  std::wstring Name;  // empty: the default GUI font
  int Size = 0;       // points; 0: the default size
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  TColor Color = clWindowText;
  bool operator==(const TFont& o) const {
    return Name == o.Name && Size == o.Size && Bold == o.Bold && Italic == o.Italic &&
           Underline == o.Underline && Color == o.Color;
  }
  bool operator!=(const TFont& o) const { return !(*this == o); }
};

// Modal results.
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// Keyboard shortcuts: a virtual key with modifier flags.
using TShortCut = std::uint32_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
inline TShortCut ShortCut(std::uint32_t key, std::uint32_t modifiers) { return key | modifiers; }
// "Ctrl+R", "F5", "Del" ... (for menu texts).
std::wstring ShortCutToText(TShortCut shortCut);

// A list of texts that tells its holder when it changes.
class TStrings {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  const std::wstring& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
  const std::wstring& Get(int index) const { return (*this)[index]; }
  void Set(int index, const std::wstring& text);
  int Add(const std::wstring& text);
  int AddObject(const std::wstring& text, void* object);
  void Insert(int index, const std::wstring& text);
  void Delete(int index);
  void Clear();
  int IndexOf(const std::wstring& text) const;
  void* Objects(int index) const { return objects_.at(static_cast<size_t>(index)); }
  // All items joined with CR LF (no line end after the last), and back.
  std::wstring Text() const;
  void SetText(const std::wstring& text);
  void Assign(const std::vector<std::wstring>& items);
  const std::vector<std::wstring>& Items() const { return items_; }

  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::vector<std::wstring> items_;
  std::vector<void*> objects_;
};

// Owner of components: deleting a component deletes the components it owns, last first.
class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  virtual const char* ClassName() const { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const std::wstring& Name() const { return name_; }
  void SetName(const std::wstring& name) { name_ = name; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  // The owned component named `name`, or null.
  TComponent* FindComponent(const std::wstring& name) const;
  template <class T>
  T* Find(const std::wstring& name) const {
    return dynamic_cast<T*>(FindComponent(name));
  }

  std::intptr_t Tag = 0;

 private:
  void InsertComponent(TComponent* c) { components_.push_back(c); }
  void RemoveComponent(TComponent* c);

  TComponent* owner_;
  std::wstring name_;
  std::vector<TComponent*> components_;
  bool destroying_ = false;
};

// Base of every visual component. Every control may hold children (the toolkit lays them
// out by their alignment inside the control's client area).
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  const char* ClassName() const override { return "TControl"; }

  // Parent and children (children are not owned; their owner deletes them).
  TControl* Parent() const { return parent_; }
  void SetParent(TControl* parent);
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
  // The form this control lies on (itself for a form), or null.
  TForm* ParentForm() const;

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(const std::wstring& text);
  // Text and Caption are one property, as in the toolkit this follows.
  const std::wstring& Text() const { return caption_; }
  void SetText(const std::wstring& text) { SetCaption(text); }
  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& text);
  bool ShowHint = true;

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent too.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  // The area inside the control in which its children are aligned.
  virtual TRect ClientRect() const;
  // Lays out the aligned children (top, bottom, left, right, client, in child order),
  // then their children.
  void Realign();

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor = false;
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);

  int TabOrder = -1;
  bool TabStop = false;
  TPopupMenu* PopupMenu = nullptr;
  // The mouse pointer over the control (a link-style label shows the hand).
  TCursor Cursor = crDefault;

  // Action link: the action's caption, hint, enabled, visible, checked and image follow
  // into the control; a click executes the action. A change of the action passes on only
  // what changed, so a caption translated at creation survives enabling and disabling.
  TAction* Action() const { return action_; }
  void SetAction(TAction* action);
  virtual void ActionChanged(unsigned what = acAll);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  // Right click / context key; (sender, x, y in screen coordinates, handled). The peers
  // report screen coordinates, which is also where the popup menu opens.
  std::function<void(TComponent*, int, int, bool&)> OnContextPopup;

  // Simulates or reports a user click: runs the action or OnClick.
  virtual void Click();
  void DblClick() {
    if (OnDblClick) OnDblClick(this);
  }
  // Shows the popup menu (or runs OnContextPopup) as a right click at (x, y) would.
  void ContextPopup(int x, int y);

  // Focus: the control the form gives the keyboard to.
  void SetFocus();
  bool Focused() const;
  bool CanFocus() const;

  // Native peer (null when headless).
  IPeer* Peer() const { return peer_.get(); }
  void* Handle() const { return peer_ ? peer_->Handle() : nullptr; }
  // Creates the peers of this control and its children when a backend is installed.
  void CreateHandles();
  void DestroyHandles();
  bool HandleAllocated() const { return peer_ != nullptr; }

  // Tells the peer (if any) about a change.
  void Changed(TChange change, const void* detail = nullptr);

 protected:
  // Peer callbacks set state without echoing back to the peer.
  struct FromPeerScope {
    explicit FromPeerScope(TControl* c) : c_(c), was_(c->fromPeer_) { c->fromPeer_ = true; }
    ~FromPeerScope() { c_->fromPeer_ = was_; }
    TControl* c_;
    bool was_;
  };
  bool fromPeer_ = false;
  void RealignIfParentAligns();

 private:
  TControl* parent_ = nullptr;
  std::vector<TControl*> controls_;
  std::wstring caption_;
  std::wstring hint_;
  bool visible_ = true;
  bool enabled_ = true;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TColor color_ = clBtnFace;
  TFont font_;
  TAction* action_ = nullptr;
  std::unique_ptr<IPeer> peer_;
  bool aligning_ = false;

 public:
  // Peers report user changes through these (no echo to the peer).
  void PeerSetText(const std::wstring& text) {
    FromPeerScope s(this);
    SetCaption(text);
  }
  void PeerSetBounds(int l, int t, int w, int h) {
    FromPeerScope s(this);
    SetBounds(l, t, w, h);
  }
  bool FromPeer() const { return fromPeer_; }
};

// The application: title, backend, exception hook and message loop.
class TApplication {
 public:
  std::wstring Title;
  TForm* MainForm = nullptr;
  // Called for an exception that no handler caught (the main window installs it); without
  // a hook the exception is shown with ShowException.
  std::function<void(const std::exception*)> OnException;
  // The standard exception display: a message box with the exception's text, captioned
  // with the application title, owned by the main form.
  void ShowException(const std::exception* e);

  IWindowBackend* Backend() const { return backend_; }
  // Installs a backend (null: headless); returns the previous one.
  IWindowBackend* SetBackend(IWindowBackend* backend) {
    IWindowBackend* old = backend_;
    backend_ = backend;
    return old;
  }
  void ProcessMessages();
  void Run(TForm* main);
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The control that has the keyboard focus (tracked by the model in both modes).
  TControl* Focus = nullptr;

 private:
  IWindowBackend* backend_ = nullptr;
  bool terminated_ = false;
};

TApplication& Application();

// Runs `fn`, reporting every exception through Application().OnException; used by peers
// so that no exception crosses a window procedure.
void RunGuarded(const std::function<void()>& fn);

}  // namespace Q
