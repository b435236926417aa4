// Native peers: each windowed component gets a real window (common controls 6); labels
// and images are drawn by their parent's window, as graphic controls. Positions come
// from the model, which does the alignment; user input goes back to the model.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "toolkit/comctrls.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/win32/backend.h"

namespace Q {
namespace {

int XOf(LPARAM lp) { return static_cast<int>(static_cast<short>(LOWORD(lp))); }
int YOf(LPARAM lp) { return static_cast<int>(static_cast<short>(HIWORD(lp))); }
void SetCheck(HWND button, bool checked) {
  SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

const wchar_t kContainerClass[] = L"PelmoraContainer";
const wchar_t kMessageClass[] = L"PelmoraMessageWindow";
constexpr UINT kTrayMessage = WM_APP + 1;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// --- Fonts, colours, images -----------------------------------------------------------

LOGFONTW MessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    return lf;
  }
  return metrics.lfMessageFont;
}

HFONT FontFor(const TFont& font) {
  static std::map<std::wstring, HFONT> cache;
  std::wstring key = font.Name + L"|" + std::to_wstring(font.Size) + (font.Bold ? L"b" : L"") +
                     (font.Italic ? L"i" : L"") + (font.Underline ? L"u" : L"");
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  LOGFONTW lf = MessageFont();
  if (font.Size > 0) {
    HDC screen = GetDC(nullptr);
    lf.lfHeight = -MulDiv(font.Size, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
  }
  if (font.Bold) lf.lfWeight = FW_BOLD;
  if (font.Italic) lf.lfItalic = TRUE;
  if (font.Underline) lf.lfUnderline = TRUE;
  if (!font.Name.empty()) lstrcpynW(lf.lfFaceName, font.Name.c_str(), LF_FACESIZE);
  HFONT h = CreateFontIndirectW(&lf);
  cache[key] = h;
  return h;
}

COLORREF ColorOf(TColor c) {
  if (c & clSystemFlag) return GetSysColor(static_cast<int>(c & 0xFF));
  return static_cast<COLORREF>(c);
}

HBRUSH BrushFor(TColor c) {
  static std::map<TColor, HBRUSH> cache;
  auto it = cache.find(c);
  if (it != cache.end()) return it->second;
  HBRUSH b = (c & clSystemFlag) ? GetSysColorBrush(static_cast<int>(c & 0xFF))
                                : CreateSolidBrush(ColorOf(c));
  cache[c] = b;
  return b;
}

HIMAGELIST ImageListFor(TImageList* list) {
  if (!list || list->ResourceName.empty()) return nullptr;
  static std::map<std::wstring, HIMAGELIST> cache;
  auto it = cache.find(list->ResourceName);
  if (it != cache.end()) return it->second;
  HIMAGELIST h = ImageList_LoadImageW(Instance(), list->ResourceName.c_str(), list->Width, 4,
                                      RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
  cache[list->ResourceName] = h;
  return h;
}

// No image: -1 would ask the control for the image through a callback.
int ImageOrNone(int index) { return index >= 0 ? index : I_IMAGENONE; }

HBITMAP BitmapFor(const std::wstring& name) {
  static std::map<std::wstring, HBITMAP> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  HBITMAP b = static_cast<HBITMAP>(
      LoadImageW(Instance(), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  cache[name] = b;
  return b;
}

std::wstring MenuText(const std::wstring& caption, TShortCut shortCut) {
  return shortCut ? caption + L"\t" + ShortCutToText(shortCut) : caption;
}

// --- Peers ----------------------------------------------------------------------------

class Peer;
// The peers of the windows this toolkit created. A window handle that comes with a message
// (a notification's sender, a command's control, the focus) is looked up here, so a
// foreign window, or one whose class keeps data of its own in GWLP_USERDATA, is never
// taken for a peer.
std::unordered_map<HWND, Peer*>& LivePeers() {
  static std::unordered_map<HWND, Peer*> peers;
  return peers;
}
Peer* PeerOf(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto it = LivePeers().find(hwnd);
  if (it == LivePeers().end()) return nullptr;
  // A handle that was destroyed with its parent and then reused names another window.
  if (GetWindowLongPtrW(hwnd, GWLP_USERDATA) != reinterpret_cast<LONG_PTR>(it->second))
    return nullptr;
  return it->second;
}

// The window of the nearest windowed ancestor (the one graphic controls draw on).
HWND ParentWindow(TControl* c) {
  for (TControl* p = c->Parent(); p; p = p->Parent())
    if (p->Handle()) return static_cast<HWND>(p->Handle());
  return nullptr;
}

// Offset of `c` within the window of its nearest windowed ancestor.
POINT OffsetInWindow(TControl* c) {
  POINT pt{c->Left(), c->Top()};
  for (TControl* p = c->Parent(); p && !p->Handle(); p = p->Parent()) {
    pt.x += p->Left();
    pt.y += p->Top();
  }
  return pt;
}

class Peer : public IPeer {
 public:
  explicit Peer(TControl* c) : control_(c) {}
  ~Peer() override {
    if (hwnd_) {
      LivePeers().erase(hwnd_);
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      DestroyWindow(hwnd_);
    }
  }
  void* Handle() const override { return hwnd_; }
  TControl* Control() const { return control_; }

  void Update(TChange change, const void* detail) override {
    if (!hwnd_) return;
    switch (change) {
      case TChange::kText: SetWindowTextW(hwnd_, control_->Caption().c_str()); break;
      case TChange::kBounds: Place(); break;
      case TChange::kVisible: ShowWindow(hwnd_, control_->Visible() ? SW_SHOWNA : SW_HIDE); break;
      case TChange::kEnabled: EnableWindow(hwnd_, control_->Enabled()); break;
      case TChange::kFont:
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control_->Font())), TRUE);
        break;
      case TChange::kColor: InvalidateRect(hwnd_, nullptr, TRUE); break;
      case TChange::kFocus: ::SetFocus(hwnd_); break;
      case TChange::kCreate: Sync(); break;
      default: Sync(change, detail); break;
    }
  }

  // Kind-specific content (lists, state).
  virtual void Sync(TChange change = TChange::kCreate, const void* detail = nullptr) {}
  // WM_COMMAND from this control.
  virtual void Command(WORD code) {}
  // WM_NOTIFY from this control.
  virtual LRESULT Notify(NMHDR* header) { return 0; }
  virtual bool DrawItem(DRAWITEMSTRUCT*) { return false; }

  bool IsChildWindow() const { return (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD) != 0; }
  void Place() {
    if (!IsChildWindow()) {
      // A top-level form: the model's size is its client size.
      RECT r{0, 0, control_->Width(), control_->Height()};
      AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
      SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
      return;
    }
    POINT pt = OffsetInWindow(control_);
    SetWindowPos(hwnd_, nullptr, pt.x, pt.y, control_->Width(), PlacedHeight(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  virtual int PlacedHeight() const { return control_->Height(); }

 protected:
  void Create(const wchar_t* cls, DWORD style, DWORD exStyle = 0) {
    HWND parent = ParentWindow(control_);
    POINT pt = OffsetInWindow(control_);
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (control_->Visible()) style |= WS_VISIBLE;
    if (control_->TabStop) style |= WS_TABSTOP;
    hwnd_ = CreateWindowExW(exStyle, cls, control_->Caption().c_str(), style, pt.x, pt.y,
                            control_->Width(), PlacedHeight(), parent, nullptr, Instance(),
                            nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    LivePeers()[hwnd_] = this;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control_->Font())), FALSE);
    if (!control_->Enabled()) EnableWindow(hwnd_, FALSE);
  }

  TControl* control_;
  HWND hwnd_ = nullptr;
  bool syncing_ = false;
};

// Labels and images: drawn by the parent window.
class GraphicPeer : public IPeer {
 public:
  explicit GraphicPeer(TControl* c) : control_(c) { AutoSize(); }
  ~GraphicPeer() override { Invalidate(); }
  void* Handle() const override { return nullptr; }
  void Update(TChange change, const void*) override {
    Invalidate();
    if (change == TChange::kText || change == TChange::kFont || change == TChange::kCreate) AutoSize();
    Invalidate();
  }
  void Invalidate() {
    HWND parent = ParentWindow(control_);
    if (!parent) return;
    POINT pt = OffsetInWindow(control_);
    RECT r{pt.x, pt.y, pt.x + control_->Width(), pt.y + control_->Height()};
    InvalidateRect(parent, &r, TRUE);
  }
  // An auto-sized label takes the size of its text; a right-aligned one keeps its right
  // edge, so a longer text grows to the left.
  void AutoSize() {
    auto* label = dynamic_cast<TLabel*>(control_);
    if (!label || !label->AutoSize || label->WordWrap || label->Align() != alNone) return;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FontFor(label->Font()));
    RECT r{0, 0, 0, 0};
    const std::wstring& text = label->Caption();
    DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    int left = label->Left();
    if (label->Alignment == taRightJustify) left = label->Left() + label->Width() - width;
    label->PeerSetBounds(left, label->Top(), width, height);
  }

 private:
  TControl* control_;
};

void PaintGraphicChildren(TControl* container, HDC dc, POINT origin) {
  for (int i = 0; i < container->ControlCount(); ++i) {
    TControl* c = container->Controls(i);
    if (!c->Visible()) continue;
    if (c->Handle()) continue;  // windowed: paints itself
    RECT r{origin.x + c->Left(), origin.y + c->Top(), origin.x + c->Left() + c->Width(),
           origin.y + c->Top() + c->Height()};
    if (auto* image = dynamic_cast<TImage*>(c)) {
      HBITMAP bmp = BitmapFor(image->ResourceName);
      if (!bmp) continue;
      BITMAP info{};
      GetObjectW(bmp, sizeof info, &info);
      HDC mem = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(mem, bmp);
      if (image->Transparent) {
        // Strips and pictures use magenta as their transparent colour.
        int x = r.left, y = r.top;
        if (image->Center) {
          x += (r.right - r.left - info.bmWidth) / 2;
          y += (r.bottom - r.top - info.bmHeight) / 2;
        }
        TransparentBlt(dc, x, y, info.bmWidth, info.bmHeight, mem, 0, 0, info.bmWidth,
                       info.bmHeight, RGB(255, 0, 255));
      } else if (image->Stretch) {
        StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0,
                   info.bmWidth, info.bmHeight, SRCCOPY);
      } else {
        int x = r.left, y = r.top;
        if (image->Center) {
          x += (r.right - r.left - info.bmWidth) / 2;
          y += (r.bottom - r.top - info.bmHeight) / 2;
        }
        BitBlt(dc, x, y, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
      }
      SelectObject(mem, old);
      DeleteDC(mem);
    } else if (auto* label = dynamic_cast<TLabel*>(c)) {
      if (!label->Transparent) FillRect(dc, &r, BrushFor(label->Color()));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, label->Enabled() ? ColorOf(label->Font().Color) : GetSysColor(COLOR_GRAYTEXT));
      HGDIOBJ old = SelectObject(dc, FontFor(label->Font()));
      UINT format = label->WordWrap ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
      if (label->Alignment == taRightJustify) format |= DT_RIGHT;
      if (label->Alignment == taCenter) format |= DT_CENTER;
      DrawTextW(dc, label->Caption().c_str(), -1, &r, format);
      SelectObject(dc, old);
    } else if (c->ControlCount() > 0) {
      PaintGraphicChildren(c, dc, POINT{r.left, r.top});
    }
  }
}

// A graphic control (image, label) under the point, for clicks.
TControl* GraphicAt(TControl* container, POINT pt) {
  for (int i = container->ControlCount() - 1; i >= 0; --i) {
    TControl* c = container->Controls(i);
    if (!c->Visible() || c->Handle()) continue;
    if (pt.x >= c->Left() && pt.x < c->Left() + c->Width() && pt.y >= c->Top() &&
        pt.y < c->Top() + c->Height())
      return c;
  }
  return nullptr;
}

LRESULT CALLBACK ContainerProc(HWND, UINT, WPARAM, LPARAM);

// Forms, panels, pages, group boxes, cool bars, splitters: windows of the program's own
// class that paint their background, frame and graphic children, and pass the messages
// of their child controls on to those controls' peers.
class ContainerPeer : public Peer {
 public:
  explicit ContainerPeer(TControl* c) : Peer(c) {
    auto* form = dynamic_cast<TForm*>(c);
    if (form && !c->Parent()) {
      CreateTopLevel(form);
    } else {
      DWORD style = WS_CLIPCHILDREN;
      Create(kContainerClass, style, WS_EX_CONTROLPARENT);
    }
  }
  void CreateTopLevel(TForm* form) {
    DWORD style = WS_CLIPCHILDREN;
    DWORD ex = WS_EX_CONTROLPARENT;
    switch (form->BorderStyle) {
      case bsNone: style |= WS_POPUP; break;
      case bsDialog: style |= WS_POPUP | WS_CAPTION | WS_SYSMENU; ex |= WS_EX_DLGMODALFRAME; break;
      case bsToolWindow: style |= WS_POPUP | WS_CAPTION | WS_SYSMENU; ex |= WS_EX_TOOLWINDOW; break;
      default:
        style |= WS_OVERLAPPEDWINDOW;
        if (!form->BorderIcons) style &= ~(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
        break;
    }
    RECT r{0, 0, form->Width(), form->Height()};
    AdjustWindowRectEx(&r, style, FALSE, ex);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = form->Left(), y = form->Top();
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    TForm* ownerForm = dynamic_cast<TForm*>(form->Owner());
    if (form->Position == poOwnerFormCenter && ownerForm && ownerForm->Handle()) {
      RECT o{};
      GetWindowRect(static_cast<HWND>(ownerForm->Handle()), &o);
      x = o.left + (o.right - o.left - w) / 2;
      y = o.top + (o.bottom - o.top - h) / 2;
    } else if (form->Position != poDesigned) {
      x = area.left + (area.right - area.left - w) / 2;
      y = area.top + (area.bottom - area.top - h) / 2;
    }
    HWND owner = ownerForm ? static_cast<HWND>(ownerForm->Handle()) : nullptr;
    hwnd_ = CreateWindowExW(ex, kContainerClass, form->Caption().c_str(), style, x, y, w, h, owner,
                            nullptr, Instance(), nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    LivePeers()[hwnd_] = this;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(form->Font())), FALSE);
    HICON icon = LoadIconW(Instance(), MAKEINTRESOURCEW(1));
    if (icon) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  }
  void Update(TChange change, const void* detail) override {
    Peer::Update(change, detail);
    // A page's caption is its tab's text.
    if (auto* sheet = dynamic_cast<TTabSheet*>(control_))
      if (change == TChange::kText && sheet->PageControl() && sheet->PageControl()->Peer())
        sheet->PageControl()->Peer()->Update(TChange::kItems, nullptr);
  }
  void Sync(TChange change, const void*) override {
    if (change == TChange::kState && !IsChildWindow()) {
      if (auto* form = dynamic_cast<TForm*>(control_)) {
        const int show = form->WindowState() == wsMinimized ? SW_MINIMIZE
                         : form->WindowState() == wsMaximized ? SW_MAXIMIZE : SW_RESTORE;
        if (form->Visible()) ShowWindow(hwnd_, show);
      }
    }
    if (change == TChange::kCreate) {
      if (control_->Visible() && !IsChildWindow()) {
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
      }
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

  void Paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, BrushFor(control_->Color()));
    if (auto* panel = dynamic_cast<TPanel*>(control_)) {
      RECT r = client;
      if (panel->BevelOuter != bvNone)
        DrawEdge(dc, &r, panel->BevelOuter == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
      if (!panel->Caption().empty()) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorOf(panel->Font().Color));
        HGDIOBJ old = SelectObject(dc, FontFor(panel->Font()));
        UINT fmt = DT_SINGLELINE | DT_VCENTER |
                   (panel->Alignment == taCenter ? DT_CENTER
                    : panel->Alignment == taRightJustify ? DT_RIGHT : DT_LEFT);
        InflateRect(&r, -4, 0);
        DrawTextW(dc, panel->Caption().c_str(), -1, &r, fmt);
        SelectObject(dc, old);
      }
    } else if (auto* group = dynamic_cast<TCustomGroupBox*>(control_)) {
      HGDIOBJ old = SelectObject(dc, FontFor(group->Font()));
      SIZE size{};
      GetTextExtentPoint32W(dc, group->Caption().c_str(), static_cast<int>(group->Caption().size()), &size);
      RECT frame = client;
      frame.top += size.cy / 2;
      DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
      if (!group->Caption().empty()) {
        RECT text{8, 0, 8 + size.cx + 4, size.cy};
        FillRect(dc, &text, BrushFor(group->Color()));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorOf(group->Font().Color));
        TextOutW(dc, 10, 0, group->Caption().c_str(), static_cast<int>(group->Caption().size()));
      }
      SelectObject(dc, old);
    } else if (dynamic_cast<TCoolBar*>(control_)) {
      RECT r = client;
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    } else if (dynamic_cast<TSplitter*>(control_)) {
      // A plain strip in the face colour.
    }
    PaintGraphicChildren(control_, dc, POINT{0, 0});
  }

  TControl* control() const { return control_; }
};

class ButtonPeer : public Peer {
 public:
  explicit ButtonPeer(TControl* c) : Peer(c) {
    DWORD style = BS_PUSHBUTTON;
    if (auto* b = dynamic_cast<TButton*>(c)) {
      if (b->Default) style = BS_DEFPUSHBUTTON;
    }
    if (auto* s = dynamic_cast<TSpeedButton*>(c))
      if (s->Flat) style |= BS_FLAT;
    if (dynamic_cast<TCheckBox*>(c)) style = BS_CHECKBOX;
    if (dynamic_cast<TRadioButton*>(c)) style = BS_RADIOBUTTON;
    Create(WC_BUTTONW, style);
    Sync(TChange::kCreate, nullptr);
  }
  void Sync(TChange, const void*) override {
    if (auto* box = dynamic_cast<TCheckBox*>(control_))
      SetCheck(hwnd_, box->Checked());
    if (auto* radio = dynamic_cast<TRadioButton*>(control_))
      SetCheck(hwnd_, radio->Checked());
  }
  void Command(WORD code) override {
    if (code == BN_CLICKED) RunGuarded([this] { control_->Click(); });
  }
};

// Clicks on an edit reach the model (a read-only edit may open a picker on click).
LRESULT CALLBACK EditClicks(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  if (msg == WM_LBUTTONUP) {
    auto* control = reinterpret_cast<TControl*>(data);
    if (control->OnClick) RunGuarded([&] { control->OnClick(control); });
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

class EditPeer : public Peer {
 public:
  explicit EditPeer(TControl* c) : Peer(c) {
    DWORD style = ES_AUTOHSCROLL;
    auto* edit = dynamic_cast<TCustomEdit*>(c);
    if (edit && edit->PasswordChar) style |= ES_PASSWORD;
    if (auto* memo = dynamic_cast<TMemo*>(c)) {
      style = ES_MULTILINE | ES_WANTRETURN | (memo->WordWrap ? 0 : ES_AUTOHSCROLL) | WS_VSCROLL;
      if (memo->ReadOnly) style |= ES_READONLY;
    }
    if (dynamic_cast<TCSpinEdit*>(c)) style |= ES_NUMBER;
    Create(WC_EDITW, style, WS_EX_CLIENTEDGE);
    SetWindowSubclass(hwnd_, EditClicks, 1, reinterpret_cast<DWORD_PTR>(c));
    if (edit) {
      if (edit->PasswordChar) SendMessageW(hwnd_, EM_SETPASSWORDCHAR, edit->PasswordChar, 0);
      if (edit->MaxLength > 0) SendMessageW(hwnd_, EM_LIMITTEXT, edit->MaxLength, 0);
      if (auto* labeled = dynamic_cast<TLabeledEdit*>(c)) labeled->PlaceLabel();
    }
    if (auto* spin = dynamic_cast<TCSpinEdit*>(c)) {
      updown_ = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                WS_CHILD | (c->Visible() ? WS_VISIBLE : 0) | UDS_ALIGNRIGHT |
                                    UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                                0, 0, 0, 0, GetParent(hwnd_), nullptr, Instance(), nullptr);
      SendMessageW(updown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(hwnd_), 0);
      const int lo = spin->MaxValue > spin->MinValue ? spin->MinValue : 0;
      const int hi = spin->MaxValue > spin->MinValue ? spin->MaxValue : 0x7FFFFFFF;
      SendMessageW(updown_, UDM_SETRANGE32, lo, hi);
    }
    Sync(TChange::kCreate, nullptr);
  }
  ~EditPeer() override {
    if (updown_) DestroyWindow(updown_);
  }
  void Sync(TChange change, const void*) override {
    if (syncing_) return;  // the change came from the user's typing
    syncing_ = true;
    if (auto* memo = dynamic_cast<TMemo*>(control_)) {
      SetWindowTextW(hwnd_, memo->MemoText().c_str());
    } else if (auto* spin = dynamic_cast<TCSpinEdit*>(control_)) {
      SetWindowTextW(hwnd_, std::to_wstring(spin->Value()).c_str());
    } else if (auto* edit = dynamic_cast<TCustomEdit*>(control_)) {
      SendMessageW(hwnd_, EM_SETREADONLY, edit->ReadOnly(), 0);
    }
    if (updown_) ShowWindow(updown_, control_->Visible() ? SW_SHOWNA : SW_HIDE);
    syncing_ = false;
  }
  void Command(WORD code) override {
    if (code != EN_CHANGE || syncing_) return;
    const int n = GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(hwnd_, &text[0], n + 1);
    text.resize(static_cast<size_t>(n));
    syncing_ = true;
    RunGuarded([&] {
      if (auto* memo = dynamic_cast<TMemo*>(control_)) {
        memo->Lines().SetText(text);
        if (memo->OnChange) memo->OnChange(memo);
      } else if (auto* spin = dynamic_cast<TCSpinEdit*>(control_)) {
        spin->UserSetValue(_wtoi(text.c_str()));
      } else if (auto* edit = dynamic_cast<TCustomEdit*>(control_)) {
        edit->UserSetText(text);
      }
    });
    syncing_ = false;
  }

 private:
  HWND updown_ = nullptr;
};

class ComboPeer : public Peer {
 public:
  explicit ComboPeer(TComboBox* c) : Peer(c), combo_(c) {
    Create(WC_COMBOBOXW,
           (c->Style == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN) | WS_VSCROLL);
    Sync(TChange::kCreate, nullptr);
  }
  int PlacedHeight() const override { return control_->Height() + 200; }
  void Sync(TChange change, const void*) override {
    syncing_ = true;
    if (change == TChange::kItems || change == TChange::kCreate) {
      SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
      for (const std::wstring& item : combo_->Items().Items())
        SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SendMessageW(hwnd_, CB_SETCURSEL, combo_->ItemIndex(), 0);
    syncing_ = false;
  }
  void Command(WORD code) override {
    if (syncing_) return;
    if (code == CBN_SELCHANGE) {
      const int index = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
      RunGuarded([&] { combo_->UserSelect(index); });
    } else if (code == CBN_EDITCHANGE) {
      const int n = GetWindowTextLengthW(hwnd_);
      std::wstring text(static_cast<size_t>(n) + 1, L'\0');
      GetWindowTextW(hwnd_, &text[0], n + 1);
      text.resize(static_cast<size_t>(n));
      RunGuarded([&] {
        combo_->PeerSetText(text);
        if (combo_->OnChange) combo_->OnChange(combo_);
      });
    }
  }

 private:
  TComboBox* combo_;
};

class CheckListPeer : public Peer {
 public:
  explicit CheckListPeer(TCheckListBox* c) : Peer(c), list_(c) {
    Create(WC_LISTBOXW, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                            WS_VSCROLL, WS_EX_CLIENTEDGE);
    Sync(TChange::kCreate, nullptr);
  }
  void Sync(TChange change, const void*) override {
    if (change == TChange::kItems || change == TChange::kCreate) {
      SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
      for (const std::wstring& item : list_->Items().Items())
        SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SendMessageW(hwnd_, LB_SETCURSEL, list_->ItemIndex(), 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  bool DrawItem(DRAWITEMSTRUCT* d) override {
    if (d->itemID == static_cast<UINT>(-1)) return true;
    const int i = static_cast<int>(d->itemID);
    const bool selected = d->itemState & ODS_SELECTED;
    FillRect(d->hDC, &d->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    RECT box = d->rcItem;
    box.left += 2;
    box.right = box.left + 13;
    box.top += (d->rcItem.bottom - d->rcItem.top - 13) / 2;
    box.bottom = box.top + 13;
    DrawFrameControl(d->hDC, &box, DFC_BUTTON,
                     DFCS_BUTTONCHECK | DFCS_FLAT | (list_->Checked(i) ? DFCS_CHECKED : 0));
    RECT text = d->rcItem;
    text.left = box.right + 4;
    SetBkMode(d->hDC, TRANSPARENT);
    SetTextColor(d->hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(d->hDC, list_->Items()[i].c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (d->itemState & ODS_FOCUS) DrawFocusRect(d->hDC, &d->rcItem);
    return true;
  }
  void Command(WORD code) override {
    if (code != LBN_SELCHANGE) return;
    const int index = static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(hwnd_, &pt);
    RunGuarded([&] {
      list_->SetItemIndex(index);
      if (pt.x < 18 && index >= 0) list_->UserSetChecked(index, !list_->Checked(index));
    });
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

 private:
  TCheckListBox* list_;
};

class TabsPeer : public Peer {
 public:
  explicit TabsPeer(TControl* c) : Peer(c) {
    DWORD style = WS_CLIPCHILDREN | TCS_TABS;
    if (auto* pages = dynamic_cast<TPageControl*>(c)) {
      if (pages->Style == TPageControl::tsButtons) style |= TCS_BUTTONS;
      if (pages->Style == TPageControl::tsFlatButtons) style |= TCS_BUTTONS | TCS_FLATBUTTONS;
      if (pages->MultiLine) style |= TCS_MULTILINE;
      if (pages->HotTrack) style |= TCS_HOTTRACK;
    }
    Create(WC_TABCONTROLW, style);
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    Sync(TChange::kCreate, nullptr);
  }
  void Sync(TChange change, const void*) override {
    syncing_ = true;
    auto* pages = dynamic_cast<TPageControl*>(control_);
    if (change == TChange::kItems || change == TChange::kCreate) {
      TabCtrl_DeleteAllItems(hwnd_);
      if (pages && pages->Images) TabCtrl_SetImageList(hwnd_, ImageListFor(pages->Images));
      int index = 0;
      if (pages) {
        for (int i = 0; i < pages->PageCount(); ++i) {
          TTabSheet* sheet = pages->Pages(i);
          if (!sheet->TabVisible()) continue;
          TCITEMW item{};
          item.mask = TCIF_TEXT | TCIF_IMAGE;
          item.pszText = const_cast<wchar_t*>(sheet->Caption().c_str());
          item.iImage = ImageOrNone(sheet->ImageIndex);
          TabCtrl_InsertItem(hwnd_, index++, &item);
        }
      } else if (auto* tabs = dynamic_cast<TTabControl*>(control_)) {
        for (const std::wstring& t : tabs->Tabs().Items()) {
          TCITEMW item{};
          item.mask = TCIF_TEXT;
          item.pszText = const_cast<wchar_t*>(t.c_str());
          TabCtrl_InsertItem(hwnd_, index++, &item);
        }
      }
    }
    if (pages && pages->ActivePage()) TabCtrl_SetCurSel(hwnd_, pages->ActivePage()->TabIndex());
    syncing_ = false;
  }
  void Update(TChange change, const void* detail) override {
    Peer::Update(change, detail);
    if (change == TChange::kText) Sync(TChange::kItems, nullptr);
  }
  LRESULT Notify(NMHDR* h) override {
    if (h->code == TCN_SELCHANGE && !syncing_) {
      const int index = TabCtrl_GetCurSel(hwnd_);
      if (auto* pages = dynamic_cast<TPageControl*>(control_))
        RunGuarded([&] { pages->UserSelectTab(index); });
    }
    return 0;
  }
};

class TreePeer : public Peer {
 public:
  explicit TreePeer(TTreeView* t) : Peer(t), tree_(t) {
    DWORD style = TVS_HASBUTTONS | TVS_SHOWSELALWAYS;
    if (t->ShowRoot) style |= TVS_LINESATROOT;
    if (t->ShowLines) style |= TVS_HASLINES;
    if (t->HotTrack) style |= TVS_TRACKSELECT;
    if (t->HideSelection) style &= ~TVS_SHOWSELALWAYS;
    Create(WC_TREEVIEWW, style, WS_EX_CLIENTEDGE);
    if (t->Images) TreeView_SetImageList(hwnd_, ImageListFor(t->Images), TVSIL_NORMAL);
    Sync(TChange::kCreate, nullptr);
  }
  void Sync(TChange change, const void* detail) override {
    if (syncing_) return;
    syncing_ = true;
    const auto* node = static_cast<const TTreeNode*>(detail);
    if (change == TChange::kItem && node && node->PeerItem) {
      SetItem(const_cast<TTreeNode*>(node));
    } else if (change == TChange::kSelection) {
      TreeView_SelectItem(hwnd_, tree_->Selected() ? static_cast<HTREEITEM>(tree_->Selected()->PeerItem) : nullptr);
      if (tree_->MultiSelect) InvalidateRect(hwnd_, nullptr, TRUE);
    } else if (change == TChange::kItems && node && node->PeerItem) {
      RebuildChildren(const_cast<TTreeNode*>(node));
    } else {
      Rebuild();
    }
    syncing_ = false;
  }
  // The children of one node changed: only that part of the tree is rebuilt.
  void RebuildChildren(TTreeNode* node) {
    HTREEITEM item = static_cast<HTREEITEM>(node->PeerItem);
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    while (HTREEITEM child = TreeView_GetChild(hwnd_, item)) TreeView_DeleteItem(hwnd_, child);
    for (int i = 0; i < node->Count(); ++i) Insert(node->Item(i), item);
    SetItem(node);
    for (int i = 0; i < node->Count(); ++i)
      for (TTreeNode* n : Subtree(node->Item(i)))
        if (n->Expanded()) TreeView_Expand(hwnd_, static_cast<HTREEITEM>(n->PeerItem), TVE_EXPAND);
    if (tree_->Selected() && tree_->Selected()->PeerItem)
      TreeView_SelectItem(hwnd_, static_cast<HTREEITEM>(tree_->Selected()->PeerItem));
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  static std::vector<TTreeNode*> Subtree(TTreeNode* n) {
    std::vector<TTreeNode*> out{n};
    for (int i = 0; i < n->Count(); ++i) {
      auto sub = Subtree(n->Item(i));
      out.insert(out.end(), sub.begin(), sub.end());
    }
    return out;
  }
  const void* ItemAt(int x, int y) const override {
    TVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    HTREEITEM item = TreeView_HitTest(hwnd_, &hit);
    if (!item || !(hit.flags & TVHT_ONITEM)) return nullptr;
    TVITEMW data{};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    TreeView_GetItem(hwnd_, &data);
    return reinterpret_cast<const void*>(data.lParam);
  }
  void Rebuild() {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    for (TTreeNode* n : tree_->Items().All()) n->PeerItem = nullptr;
    TreeView_DeleteAllItems(hwnd_);
    for (int i = 0; i < tree_->Items().RootCount(); ++i) Insert(tree_->Items().Root(i), TVI_ROOT);
    for (TTreeNode* n : tree_->Items().All())
      if (n->Expanded()) TreeView_Expand(hwnd_, static_cast<HTREEITEM>(n->PeerItem), TVE_EXPAND);
    if (tree_->Selected()) TreeView_SelectItem(hwnd_, static_cast<HTREEITEM>(tree_->Selected()->PeerItem));
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void Insert(TTreeNode* node, HTREEITEM parent) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    ins.item.pszText = const_cast<wchar_t*>(node->Text().c_str());
    ins.item.lParam = reinterpret_cast<LPARAM>(node);
    ins.item.iImage = ImageOrNone(node->ImageIndex());
    ins.item.iSelectedImage = ImageOrNone(node->SelectedIndex() >= 0 ? node->SelectedIndex() : node->ImageIndex());
    ins.item.cChildren = node->HasChildren() ? 1 : 0;
    node->PeerItem = TreeView_InsertItem(hwnd_, &ins);
    for (int i = 0; i < node->Count(); ++i) Insert(node->Item(i), static_cast<HTREEITEM>(node->PeerItem));
  }
  void SetItem(TTreeNode* node) {
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_HANDLE;
    item.hItem = static_cast<HTREEITEM>(node->PeerItem);
    item.pszText = const_cast<wchar_t*>(node->Text().c_str());
    item.iImage = ImageOrNone(node->ImageIndex());
    item.iSelectedImage = ImageOrNone(node->SelectedIndex() >= 0 ? node->SelectedIndex() : node->ImageIndex());
    item.cChildren = node->HasChildren() ? 1 : 0;
    TreeView_SetItem(hwnd_, &item);
    // The node the user is expanding is expanded by the control itself.
    if (node != nativeExpanding_)
      TreeView_Expand(hwnd_, item.hItem, node->Expanded() ? TVE_EXPAND : TVE_COLLAPSE);
  }
  LRESULT Notify(NMHDR* h) override {
    if (syncing_) return 0;
    switch (h->code) {
      case TVN_SELCHANGEDW: {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(h);
        auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
        RunGuarded([&] { tree_->SetSelected(node); });
        return 0;
      }
      case TVN_ITEMEXPANDINGW: {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(h);
        auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
        if (!node) return 0;
        // The model decides (its OnExpanding may fill in the children or refuse).
        nativeExpanding_ = node;
        const bool expand = (nm->action & TVE_EXPAND) != 0;
        RunGuarded([&] {
          if (expand) node->Expand();
          else node->Collapse();
        });
        nativeExpanding_ = nullptr;
        return node->Expanded() == expand ? 0 : 1;
      }
      case NM_CUSTOMDRAW: {
        // The further nodes of a multi-selection are drawn as selected too.
        auto* cd = reinterpret_cast<NMTVCUSTOMDRAW*>(h);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return tree_->MultiSelect ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
          auto* node = reinterpret_cast<TTreeNode*>(cd->nmcd.lItemlParam);
          if (node && node != tree_->Selected() && tree_->IsSelected(node)) {
            cd->clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
            cd->clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
          }
        }
        return CDRF_DODEFAULT;
      }
      case NM_CLICK: {
        if (!tree_->MultiSelect) return 0;
        const bool ctrl = GetKeyState(VK_CONTROL) & 0x8000, shift = GetKeyState(VK_SHIFT) & 0x8000;
        if (!ctrl && !shift) return 0;
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd_, &pt);
        auto* node = static_cast<TTreeNode*>(const_cast<void*>(ItemAt(pt.x, pt.y)));
        if (!node) return 0;
        RunGuarded([&] {
          if (ctrl) tree_->ToggleSelection(node);
          else tree_->SelectRange(node);
        });
        InvalidateRect(hwnd_, nullptr, TRUE);
        return 1;  // the control does not change its own selection
      }
      case NM_DBLCLK:
        RunGuarded([&] { tree_->DblClick(); });
        return 0;
      case NM_RCLICK: {
        POINT screen;
        GetCursorPos(&screen);
        TVHITTESTINFO hit{};
        hit.pt = screen;
        ScreenToClient(hwnd_, &hit.pt);
        HTREEITEM item = TreeView_HitTest(hwnd_, &hit);
        if (item && tree_->RightClickSelect) TreeView_SelectItem(hwnd_, item);
        RunGuarded([&] { tree_->ContextPopup(screen.x, screen.y); });
        return 1;
      }
    }
    return 0;
  }

 private:
  TTreeView* tree_;
  TTreeNode* nativeExpanding_ = nullptr;
};

class ListPeer : public Peer {
 public:
  explicit ListPeer(TControl* c) : Peer(c) {
    auto* lv = dynamic_cast<TListView*>(c);
    DWORD style = LVS_REPORT | LVS_SHOWSELALWAYS;
    if (lv && !lv->MultiSelect) style |= LVS_SINGLESEL;
    if (lv && !lv->ColumnClick) style |= LVS_NOSORTHEADER;
    if (lv && lv->HideSelection) style &= ~LVS_SHOWSELALWAYS;
    Create(WC_LISTVIEWW, style, WS_EX_CLIENTEDGE);
    const bool grid = !lv || lv->GridLines;
    ListView_SetExtendedListViewStyle(hwnd_, (!lv || lv->RowSelect ? LVS_EX_FULLROWSELECT : 0) |
                                                 LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP |
                                                 (grid ? LVS_EX_GRIDLINES : 0));
    if (lv && lv->SmallImages) ListView_SetImageList(hwnd_, ImageListFor(lv->SmallImages), LVSIL_SMALL);
    Sync(TChange::kCreate, nullptr);
  }
  void Sync(TChange change, const void* detail) override {
    if (syncing_) return;
    syncing_ = true;
    auto* lv = dynamic_cast<TListView*>(control_);
    if (lv && change == TChange::kItem && detail) {
      auto* item = static_cast<const TListItem*>(detail);
      const int index = item->Index();
      const int shown = ListView_GetItemCount(hwnd_);
      if (index == shown)
        SetRow(index, const_cast<TListItem*>(item), true);  // a new last row
      else if (index >= 0 && index < shown)
        SetRow(index, const_cast<TListItem*>(item), false);
      else
        Rebuild();
    } else if (lv && change == TChange::kSelection && detail) {
      auto* item = static_cast<const TListItem*>(detail);
      ListView_SetItemState(hwnd_, item->Index(), item->Selected() ? LVIS_SELECTED : 0, LVIS_SELECTED);
    } else {
      Rebuild();
    }
    syncing_ = false;
  }
  void Rebuild() {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(hwnd_);
    while (ListView_DeleteColumn(hwnd_, 0)) {}
    std::vector<std::pair<std::wstring, int>> columns;
    std::vector<std::vector<std::wstring>> rows;
    if (auto* lv = dynamic_cast<TListView*>(control_)) {
      for (int i = 0; i < lv->ColumnCount(); ++i)
        columns.push_back({lv->Column(i)->Caption, lv->Column(i)->Width});
    } else if (auto* values = dynamic_cast<TValueListEditor*>(control_)) {
      const int w = std::max(60, control_->Width() / 2 - 4);
      for (const std::wstring& t : values->TitleCaptions().Items()) columns.push_back({t, w});
      for (const std::wstring& line : values->Strings().Items()) {
        const size_t eq = line.find(L'=');
        rows.push_back({line.substr(0, eq), eq == std::wstring::npos ? L"" : line.substr(eq + 1)});
      }
    } else if (auto* grid = dynamic_cast<TStringGrid*>(control_)) {
      for (int i = 0; i < grid->ColCount; ++i) columns.push_back({L"", 64});
      for (int r = 0; r < grid->RowCount; ++r) rows.push_back(std::vector<std::wstring>(1));
    }
    for (size_t i = 0; i < columns.size(); ++i) {
      LVCOLUMNW col{};
      col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      col.pszText = const_cast<wchar_t*>(columns[i].first.c_str());
      col.cx = columns[i].second;
      col.iSubItem = static_cast<int>(i);
      ListView_InsertColumn(hwnd_, static_cast<int>(i), &col);
    }
    if (auto* lv = dynamic_cast<TListView*>(control_)) {
      for (int i = 0; i < lv->Count(); ++i) SetRow(i, lv->Item(i), true);
    } else {
      for (size_t r = 0; r < rows.size(); ++r) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.pszText = const_cast<wchar_t*>(rows[r][0].c_str());
        ListView_InsertItem(hwnd_, &item);
        for (size_t c = 1; c < rows[r].size(); ++c)
          ListView_SetItemText(hwnd_, static_cast<int>(r), static_cast<int>(c),
                               const_cast<wchar_t*>(rows[r][c].c_str()));
      }
    }
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  const void* ItemAt(int x, int y) const override {
    auto* lv = dynamic_cast<TListView*>(control_);
    LVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    const int index = ListView_SubItemHitTest(hwnd_, &hit);
    if (!lv || index < 0 || index >= lv->Count()) return nullptr;
    return lv->Item(index);
  }
  void SetRow(int index, TListItem* row, bool insert) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(row->Caption().c_str());
    item.iImage = ImageOrNone(row->ImageIndex());
    item.state = row->Selected() ? LVIS_SELECTED : 0;
    item.stateMask = LVIS_SELECTED;
    if (insert)
      ListView_InsertItem(hwnd_, &item);
    else
      ListView_SetItem(hwnd_, &item);
    for (int c = 0; c < row->SubItemCount(); ++c)
      ListView_SetItemText(hwnd_, index, c + 1, const_cast<wchar_t*>(row->SubItem(c).c_str()));
  }
  LRESULT Notify(NMHDR* h) override {
    auto* lv = dynamic_cast<TListView*>(control_);
    if (!lv || syncing_) return 0;
    switch (h->code) {
      case LVN_ITEMCHANGED: {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(h);
        if (!(nm->uChanged & LVIF_STATE) || nm->iItem < 0 || nm->iItem >= lv->Count()) return 0;
        const bool was = nm->uOldState & LVIS_SELECTED, now = nm->uNewState & LVIS_SELECTED;
        if (was != now) RunGuarded([&] { lv->UserSelect(lv->Item(nm->iItem), now); });
        return 0;
      }
      case LVN_COLUMNCLICK: {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(h);
        RunGuarded([&] { lv->UserClickColumn(nm->iSubItem); });
        return 0;
      }
      case NM_DBLCLK:
        RunGuarded([&] { lv->DblClick(); });
        return 0;
      case NM_RCLICK: {
        POINT screen;
        GetCursorPos(&screen);
        RunGuarded([&] { lv->ContextPopup(screen.x, screen.y); });
        return 1;
      }
    }
    return 0;
  }
};

class ToolBarPeer : public Peer {
 public:
  explicit ToolBarPeer(TToolBar* bar) : Peer(bar), bar_(bar) {
    Create(TOOLBARCLASSNAMEW, TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE |
                                  CCS_NOPARENTALIGN | (bar->List ? TBSTYLE_LIST : 0));
    SendMessageW(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(hwnd_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS);
    if (bar->Images) SendMessageW(hwnd_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ImageListFor(bar->Images)));
    Sync(TChange::kCreate, nullptr);
  }
  void Sync(TChange, const void*) override {
    while (SendMessageW(hwnd_, TB_DELETEBUTTON, 0, 0)) {}
    texts_.clear();
    for (int i = 0; i < bar_->ButtonCount(); ++i) texts_.push_back(bar_->Buttons(i)->Caption());
    for (int i = 0; i < bar_->ButtonCount(); ++i) {
      TToolButton* b = bar_->Buttons(i);
      if (!b->Visible()) continue;
      TBBUTTON tb{};
      tb.idCommand = i + 1;
      tb.iBitmap = b->ImageIndex() >= 0 ? b->ImageIndex() : I_IMAGENONE;
      tb.fsState = (b->Enabled() ? TBSTATE_ENABLED : 0) | (b->Down() ? TBSTATE_CHECKED : 0);
      tb.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
      if (b->Style == tbsSeparator || b->Style == tbsDivider) {
        tb.fsStyle = BTNS_SEP;
        tb.iBitmap = 6;
      }
      if (b->Style == tbsDropDown) tb.fsStyle |= BTNS_WHOLEDROPDOWN;
      if (b->Style == tbsCheck) tb.fsStyle |= BTNS_CHECK;
      const bool showText = bar_->ShowCaptions || (bar_->List && !b->Caption().empty());
      if (showText && !texts_[static_cast<size_t>(i)].empty()) {
        tb.fsStyle |= BTNS_SHOWTEXT;
        tb.iString = reinterpret_cast<INT_PTR>(texts_[static_cast<size_t>(i)].c_str());
      }
      SendMessageW(hwnd_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
    }
    SendMessageW(hwnd_, TB_AUTOSIZE, 0, 0);
  }
  void CommandId(int id) {
    const int i = id - 1;
    if (i >= 0 && i < bar_->ButtonCount()) {
      TToolButton* b = bar_->Buttons(i);
      RunGuarded([&] {
        if (b->Style == tbsDropDown && !b->Action() && !b->OnClick) b->DropDown();
        else b->Click();
      });
    }
  }
  LRESULT Notify(NMHDR* h) override {
    if (h->code == TBN_DROPDOWN) {
      auto* nm = reinterpret_cast<NMTOOLBARW*>(h);
      const int i = nm->iItem - 1;
      if (i >= 0 && i < bar_->ButtonCount()) {
        TToolButton* b = bar_->Buttons(i);
        RECT r;
        SendMessageW(hwnd_, TB_GETRECT, nm->iItem, reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        if (b->DropdownMenu) {
          b->DropdownMenu->PopupComponent = b;
          RunGuarded([&] { b->DropdownMenu->Popup(r.left, r.bottom); });
        }
      }
      return TBDDRET_DEFAULT;
    }
    if (h->code == TTN_GETDISPINFOW) {
      auto* nm = reinterpret_cast<NMTTDISPINFOW*>(h);
      const int i = static_cast<int>(nm->hdr.idFrom) - 1;
      if (i >= 0 && i < bar_->ButtonCount()) {
        tip_ = bar_->Buttons(i)->Hint();
        if (tip_.empty()) tip_ = bar_->Buttons(i)->Caption();
        nm->lpszText = const_cast<wchar_t*>(tip_.c_str());
      }
    }
    return 0;
  }

 private:
  TToolBar* bar_;
  std::vector<std::wstring> texts_;
  std::wstring tip_;
};

// Tool buttons live inside their bar's window.
class ToolButtonPeer : public IPeer {
 public:
  explicit ToolButtonPeer(TToolButton* b) : button_(b) {}
  void* Handle() const override { return nullptr; }
  void Update(TChange change, const void*) override {
    if (change == TChange::kBounds || change == TChange::kCreate) return;
    if (button_->ToolBar() && button_->ToolBar()->Peer())
      button_->ToolBar()->Peer()->Update(TChange::kItems, nullptr);
  }

 private:
  TToolButton* button_;
};

class StatusPeer : public Peer {
 public:
  explicit StatusPeer(TStatusBar* s) : Peer(s), bar_(s) {
    Create(STATUSCLASSNAMEW, CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER);
    Sync(TChange::kCreate, nullptr);
  }
  void Sync(TChange, const void*) override {
    SendMessageW(hwnd_, SB_SIMPLE, bar_->SimplePanel(), 0);
    if (bar_->SimplePanel()) {
      SendMessageW(hwnd_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(bar_->SimpleText().c_str()));
      return;
    }
    std::vector<int> edges;
    int x = 0;
    for (int i = 0; i < bar_->PanelCount(); ++i) {
      x += bar_->Panel(i)->Width;
      edges.push_back(i + 1 == bar_->PanelCount() ? -1 : x);
    }
    if (edges.empty()) edges.push_back(-1);
    SendMessageW(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (int i = 0; i < bar_->PanelCount(); ++i)
      SendMessageW(hwnd_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(bar_->Panel(i)->Text.c_str()));
  }
  void Update(TChange change, const void* detail) override {
    if (change == TChange::kText) {
      Sync(TChange::kCreate, nullptr);
      return;
    }
    Peer::Update(change, detail);
  }

 private:
  TStatusBar* bar_;
};

class StaticTextPeer : public Peer {
 public:
  explicit StaticTextPeer(TStaticText* s) : Peer(s) {
    Create(WC_STATICW, SS_NOPREFIX | (s->Alignment == taRightJustify ? SS_RIGHT
                                      : s->Alignment == taCenter ? SS_CENTER : SS_LEFT));
  }
};

class RadioGroupPeer : public ContainerPeer {
 public:
  explicit RadioGroupPeer(TRadioGroup* g) : ContainerPeer(g), group_(g) { Sync(TChange::kItems, nullptr); }
  ~RadioGroupPeer() override {
    for (HWND b : buttons_) DestroyWindow(b);
  }
  void Sync(TChange change, const void* detail) override {
    if (change == TChange::kItems || change == TChange::kCreate) {
      for (HWND b : buttons_) DestroyWindow(b);
      buttons_.clear();
      TRect r = group_->ClientRect();
      for (int i = 0; i < group_->Items().Count(); ++i) {
        HWND b = CreateWindowExW(0, WC_BUTTONW, group_->Items()[i].c_str(),
                                 WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON | WS_TABSTOP, r.Left + 4,
                                 r.Top + i * 20, r.Width() - 8, 18, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + 1)), Instance(), nullptr);
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(group_->Font())), FALSE);
        buttons_.push_back(b);
      }
    }
    for (size_t i = 0; i < buttons_.size(); ++i)
      SetCheck(buttons_[i], static_cast<int>(i) == group_->ItemIndex());
    ContainerPeer::Sync(change, detail);
  }
  void ChildCommand(int id) { RunGuarded([&] { group_->SetItemIndex(id - 1); }); Sync(TChange::kSelection, nullptr); }

 private:
  TRadioGroup* group_;
  std::vector<HWND> buttons_;
};

// --- Window procedures ----------------------------------------------------------------

bool g_dragging = false;
POINT g_dragStart{};

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* peer = dynamic_cast<ContainerPeer*>(PeerOf(hwnd));
  TControl* control = peer ? peer->control() : nullptr;
  switch (msg) {
    case WM_ERASEBKGND:
      // Transparent children (flat tool bars) ask for the background through this.
      if (control) {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wp), &client, BrushFor(control->Color()));
      }
      return 1;
    case WM_PRINTCLIENT:
      if (peer) peer->Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (peer) {
        // Double-buffered, so labels over pictures do not flicker.
        RECT client;
        GetClientRect(hwnd, &client);
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP bmp = CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom));
        HGDIOBJ old = SelectObject(mem, bmp);
        peer->Paint(mem);
        BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_COMMAND: {
      HWND child = reinterpret_cast<HWND>(lp);
      if (child) {
        if (Peer* p = PeerOf(child)) {
          if (auto* tb = dynamic_cast<ToolBarPeer*>(p)) tb->CommandId(LOWORD(wp));
          else p->Command(HIWORD(wp));
        } else if (auto* rg = dynamic_cast<RadioGroupPeer*>(peer)) {
          if (HIWORD(wp) == BN_CLICKED) rg->ChildCommand(LOWORD(wp));
        }
      }
      return 0;
    }
    case WM_NOTIFY: {
      auto* h = reinterpret_cast<NMHDR*>(lp);
      if (!h) return 0;
      if (Peer* p = PeerOf(h->hwndFrom)) return p->Notify(h);
      // Tool-tip requests of a tool bar come from its tool-tip window.
      if (h->code == TTN_GETDISPINFOW) {
        HWND owner = GetParent(h->hwndFrom);
        for (HWND w = GetWindow(hwnd, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
          if (auto* tb = dynamic_cast<ToolBarPeer*>(PeerOf(w)))
            if (reinterpret_cast<HWND>(SendMessageW(w, TB_GETTOOLTIPS, 0, 0)) == h->hwndFrom || owner == w)
              return tb->Notify(h);
      }
      return 0;
    }
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (!d) return FALSE;
      if (Peer* p = PeerOf(d->hwndItem))
        if (p->DrawItem(d)) return TRUE;
      return FALSE;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Check boxes, radio buttons and static texts take the colour of their container.
      HDC dc = reinterpret_cast<HDC>(wp);
      Peer* p = PeerOf(reinterpret_cast<HWND>(lp));
      if (dynamic_cast<EditPeer*>(p)) {
        // An edit with a colour of its own (a grey read-only field) shows it.
        TControl* edit = p->Control();
        if (edit->Color() == clWindow) break;
        SetBkColor(dc, ColorOf(edit->Color()));
        SetTextColor(dc, ColorOf(edit->Font().Color));
        return reinterpret_cast<LRESULT>(BrushFor(edit->Color()));
      }
      if (control) {
        SetBkMode(dc, TRANSPARENT);
        if (p) SetTextColor(dc, ColorOf(p->Control()->Font().Color));
        return reinterpret_cast<LRESULT>(BrushFor(control->Color()));
      }
      break;
    }
    case WM_SETCURSOR:
      if (control && LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        TControl* hit = GraphicAt(control, pt);
        if ((hit ? hit : control)->Cursor == crHandPoint) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      if (dynamic_cast<TSplitter*>(control) && LOWORD(lp) == HTCLIENT) {
        const bool horizontal = control->Align() == alLeft || control->Align() == alRight;
        SetCursor(LoadCursorW(nullptr, horizontal ? IDC_SIZEWE : IDC_SIZENS));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      if (dynamic_cast<TSplitter*>(control)) {
        g_dragging = true;
        GetCursorPos(&g_dragStart);
        SetCapture(hwnd);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (g_dragging && GetCapture() == hwnd) {
        POINT now;
        GetCursorPos(&now);
        auto* splitter = static_cast<TSplitter*>(control);
        const bool horizontal = splitter->Align() == alLeft || splitter->Align() == alRight;
        const int delta = horizontal ? now.x - g_dragStart.x : now.y - g_dragStart.y;
        if (delta) {
          RunGuarded([&] { splitter->MoveBy(delta); });
          g_dragStart = now;
        }
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (g_dragging && GetCapture() == hwnd) {
        g_dragging = false;
        ReleaseCapture();
        return 0;
      }
      if (control) {
        POINT pt{XOf(lp), YOf(lp)};
        if (TControl* hit = GraphicAt(control, pt)) RunGuarded([&] { hit->Click(); });
        else RunGuarded([&] { control->Click(); });
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      if (control) RunGuarded([&] { control->DblClick(); });
      return 0;
    case WM_CONTEXTMENU:
      if (control && reinterpret_cast<HWND>(wp) == hwnd) {
        RunGuarded([&] { control->ContextPopup(XOf(lp), YOf(lp)); });
        return 0;
      }
      break;
    case WM_SIZE:
      if (auto* form = dynamic_cast<TForm*>(control)) {
        const TWindowState state = wp == SIZE_MINIMIZED ? wsMinimized
                                   : wp == SIZE_MAXIMIZED ? wsMaximized : wsNormal;
        if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) && state != form->WindowState())
          RunGuarded([&] { form->PeerSetWindowState(state); });
        if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) && wp != SIZE_MINIMIZED) {
          // The user resized the window: the model takes the new client size and realigns.
          RunGuarded([&] { form->PeerSetBounds(form->Left(), form->Top(), LOWORD(lp), HIWORD(lp)); });
          for (int i = 0; i < form->ControlCount(); ++i) {
            // Children of a top-level form follow the model's new layout.
            if (form->Controls(i)->Peer()) form->Controls(i)->Peer()->Update(TChange::kBounds, nullptr);
          }
        }
      }
      break;
    case WM_CLOSE:
      if (auto* form = dynamic_cast<TForm*>(control)) {
        RunGuarded([&] { form->Close(); });
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && control) {
        if (auto* form = dynamic_cast<TForm*>(control))
          if (form->ActiveControl && form->ActiveControl->Handle())
            ::SetFocus(static_cast<HWND>(form->ActiveControl->Handle()));
      }
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- Tray icon ------------------------------------------------------------------------

HWND MessageWindow();

std::map<UINT, TTrayIcon*>& TrayIcons() {
  static std::map<UINT, TTrayIcon*> icons;
  return icons;
}

void TrayIconChanged(TTrayIcon* icon, bool visible) {
  static UINT nextId = 1;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = MessageWindow();
  if (!icon->PeerState) {
    const UINT id = nextId++;
    icon->PeerState = reinterpret_cast<void*>(static_cast<UINT_PTR>(id));
    TrayIcons()[id] = icon;
    icon->PeerDestroy = [](TTrayIcon* i) { TrayIconChanged(i, false); TrayIcons().erase(static_cast<UINT>(reinterpret_cast<UINT_PTR>(i->PeerState))); };
  }
  data.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(icon->PeerState));
  if (!visible) {
    Shell_NotifyIconW(NIM_DELETE, &data);
    return;
  }
  data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  static std::map<std::pair<HIMAGELIST, int>, HICON> icons;
  HIMAGELIST images = ImageListFor(icon->Images);
  if (images && icon->IconIndex >= 0) {
    HICON& cached = icons[{images, icon->IconIndex}];
    if (!cached) cached = ImageList_GetIcon(images, icon->IconIndex, ILD_NORMAL);
    data.hIcon = cached;
  }
  if (!data.hIcon) data.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(1));
  if (!data.hIcon) data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  lstrcpynW(data.szTip, icon->Hint.c_str(), ARRAYSIZE(data.szTip));
  if (!Shell_NotifyIconW(NIM_MODIFY, &data)) Shell_NotifyIconW(NIM_ADD, &data);
}

LRESULT CALLBACK MessageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kTrayMessage) {
    auto it = TrayIcons().find(static_cast<UINT>(wp));
    if (it == TrayIcons().end()) return 0;
    TTrayIcon* icon = it->second;
    switch (LOWORD(lp)) {
      case WM_LBUTTONUP: RunGuarded([&] { icon->UserClick(); }); break;
      case WM_LBUTTONDBLCLK: RunGuarded([&] { icon->UserDblClick(); }); break;
      case WM_RBUTTONUP: {
        POINT pt;
        GetCursorPos(&pt);
        RunGuarded([&] { icon->UserContextMenu(pt.x, pt.y); });
        break;
      }
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND MessageWindow() {
  static HWND hwnd = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     Instance(), nullptr);
  return hwnd;
}

// --- Menus ----------------------------------------------------------------------------

HMENU BuildMenu(TMenuItem* root, std::vector<TMenuItem*>& ids) {
  HMENU menu = CreatePopupMenu();
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem* item = root->Items(i);
    if (item->Action()) item->Action()->Update();
    if (!item->Visible()) continue;
    if (item->IsSeparator()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring text = MenuText(item->Caption(), item->ShortCut());
    UINT flags = MF_STRING | (item->Enabled() ? 0 : MF_GRAYED) | (item->Checked() ? MF_CHECKED : 0);
    if (item->Count() > 0) {
      HMENU sub = BuildMenu(item, ids);
      AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());
    } else {
      ids.push_back(item);
      AppendMenuW(menu, flags, ids.size(), text.c_str());
      if (item->Default) SetMenuDefaultItem(menu, static_cast<UINT>(ids.size()), FALSE);
    }
  }
  return menu;
}

// --- Backend --------------------------------------------------------------------------

TForm* FormOfWindow(HWND hwnd) {
  HWND top = GetAncestor(hwnd, GA_ROOT);
  if (auto* p = dynamic_cast<ContainerPeer*>(PeerOf(top))) return dynamic_cast<TForm*>(p->control());
  return nullptr;
}

TControl* ControlOfWindow(HWND hwnd) {
  for (HWND w = hwnd; w; w = GetParent(w))
    if (Peer* p = PeerOf(w)) return p->Control();
  return nullptr;
}

TShortCut ShortCutOf(WPARAM key) {
  TShortCut s = static_cast<TShortCut>(key & 0xFF);
  if (GetKeyState(VK_CONTROL) & 0x8000) s |= scCtrl;
  if (GetKeyState(VK_SHIFT) & 0x8000) s |= scShift;
  if (GetKeyState(VK_MENU) & 0x8000) s |= scAlt;
  return s;
}

// Keyboard handling before dispatch: tab order, default and cancel buttons, the forms'
// shortcuts; the platform's dialog navigation for the rest (arrows, mnemonics).
bool PreTranslate(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  TForm* form = FormOfWindow(msg.hwnd);
  if (!form) return false;
  if (msg.wParam == VK_TAB && !(GetKeyState(VK_CONTROL) & 0x8000)) {
    Application().Focus = ControlOfWindow(msg.hwnd);
    form->SelectNext(!(GetKeyState(VK_SHIFT) & 0x8000));
    return true;
  }
  const TShortCut shortCut = ShortCutOf(msg.wParam);
  if (msg.wParam == VK_RETURN) {
    // A multi-line edit keeps its Enter.
    if (dynamic_cast<TMemo*>(ControlOfWindow(msg.hwnd))) return false;
  }
  bool handled = false;
  RunGuarded([&] { handled = form->HandleShortCut(shortCut); });
  return handled;
}

class Win32Backend : public IWindowBackend {
 public:
  std::unique_ptr<IPeer> CreatePeer(TControl* c) override {
    if (dynamic_cast<TLabel*>(c) || dynamic_cast<TImage*>(c)) return std::make_unique<GraphicPeer>(c);
    if (auto* b = dynamic_cast<TToolButton*>(c)) return std::make_unique<ToolButtonPeer>(b);
    if (!c->Parent() && !dynamic_cast<TForm*>(c)) return nullptr;
    if (!c->Parent() || ParentWindow(c) || dynamic_cast<TForm*>(c)) {
      if (auto* t = dynamic_cast<TTreeView*>(c)) return std::make_unique<TreePeer>(t);
      if (dynamic_cast<TListView*>(c) || dynamic_cast<TValueListEditor*>(c) || dynamic_cast<TStringGrid*>(c))
        return std::make_unique<ListPeer>(c);
      if (dynamic_cast<TPageControl*>(c) || dynamic_cast<TTabControl*>(c)) return std::make_unique<TabsPeer>(c);
      if (auto* bar = dynamic_cast<TToolBar*>(c)) return std::make_unique<ToolBarPeer>(bar);
      if (auto* s = dynamic_cast<TStatusBar*>(c)) return std::make_unique<StatusPeer>(s);
      if (auto* cb = dynamic_cast<TComboBox*>(c)) return std::make_unique<ComboPeer>(cb);
      if (auto* cl = dynamic_cast<TCheckListBox*>(c)) return std::make_unique<CheckListPeer>(cl);
      if (dynamic_cast<TCustomEdit*>(c) || dynamic_cast<TMemo*>(c) || dynamic_cast<TCSpinEdit*>(c))
        return std::make_unique<EditPeer>(c);
      if (dynamic_cast<TButton*>(c) || dynamic_cast<TSpeedButton*>(c) || dynamic_cast<TCheckBox*>(c) ||
          dynamic_cast<TRadioButton*>(c))
        return std::make_unique<ButtonPeer>(c);
      if (auto* st = dynamic_cast<TStaticText*>(c)) return std::make_unique<StaticTextPeer>(st);
      if (auto* rg = dynamic_cast<TRadioGroup*>(c)) return std::make_unique<RadioGroupPeer>(rg);
      return std::make_unique<ContainerPeer>(c);
    }
    return nullptr;
  }

  int RunModal(TForm* form) override {
    // The other windows of the program are disabled while the form runs.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM lp) -> BOOL {
      if (IsWindowVisible(w) && IsWindowEnabled(w)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&disabled));
    // A form already on the screen stays enabled: it is the one the user answers.
    if (HWND own = static_cast<HWND>(form->Handle()))
      disabled.erase(std::remove(disabled.begin(), disabled.end(), own), disabled.end());
    for (HWND w : disabled) EnableWindow(w, FALSE);
    form->Show();
    if (form->Handle()) SetForegroundWindow(static_cast<HWND>(form->Handle()));
    MSG msg;
    while (form->ModalResult() == mrNone && form->Visible() && !Application().Terminated()) {
      if (!GetMessageW(&msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      Dispatch(msg);
    }
    for (HWND w : disabled) EnableWindow(w, TRUE);
    form->Hide();
    return form->ModalResult() != mrNone ? form->ModalResult() : mrCancel;
  }

  void ProcessMessages() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      Dispatch(msg);
    }
  }

  void Run(TForm* main) override {
    if (main && !main->Visible()) main->Show();
    MSG msg;
    while (!Application().Terminated() && main && main->Visible()) {
      if (!GetMessageW(&msg, nullptr, 0, 0)) break;
      Dispatch(msg);
    }
  }

  void Terminate() override { PostQuitMessage(0); }

  void Popup(TPopupMenu* menu, int x, int y) override {
    std::vector<TMenuItem*> ids;
    HMENU h = BuildMenu(menu->Items(), ids);
    HWND owner = MessageWindow();
    if (menu->PopupComponent) {
      if (TForm* f = menu->PopupComponent->ParentForm())
        if (f->Handle()) owner = static_cast<HWND>(f->Handle());
    }
    SetForegroundWindow(owner);
    const UINT id = TrackPopupMenu(h, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(h);
    if (id > 0 && id <= ids.size()) RunGuarded([&] { ids[id - 1]->Click(); });
  }

 private:
  void Dispatch(MSG& msg) {
    // The model follows the keyboard focus the user gives with the mouse or keys.
    if ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
        msg.message == WM_LBUTTONUP || msg.message == WM_RBUTTONUP) {
      if (TControl* focused = ControlOfWindow(GetFocus())) Application().Focus = focused;
    }
    if (PreTranslate(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
};

class Win32Dialogs : public IDialogs {
 public:
  int ShowModal(TForm* form) override { return Application().Backend()->RunModal(form); }

  bool ExecuteFileDialog(TOpenDialog* dialog) override {
    std::wstring filter = dialog->Filter;
    for (wchar_t& c : filter)
      if (c == L'|') c = L'\0';
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    std::vector<wchar_t> file(4096, L'\0');
    lstrcpynW(file.data(), dialog->FileName.c_str(), static_cast<int>(file.size()));
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    TForm* active = Application().MainForm;
    ofn.hwndOwner = active ? static_cast<HWND>(active->Handle()) : nullptr;
    ofn.lpstrFilter = dialog->Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(dialog->FilterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = dialog->Title.empty() ? nullptr : dialog->Title.c_str();
    ofn.lpstrDefExt = dialog->DefaultExt.empty() ? nullptr : dialog->DefaultExt.c_str();
    ofn.lpstrInitialDir = dialog->InitialDir.empty() ? nullptr : dialog->InitialDir.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (dialog->Options & ofOverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
    if (dialog->Options & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
    if (dialog->Options & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
    if (dialog->Options & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
    const BOOL ok = dialog->IsSave() ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok) return false;
    dialog->FileName = file.data();
    dialog->FilterIndex = static_cast<int>(ofn.nFilterIndex);
    return true;
  }

  bool BrowseForFolder(TControl* owner, const std::string& title, std::string* path) override {
    BROWSEINFOA info{};
    info.hwndOwner = owner ? static_cast<HWND>(owner->Handle()) : nullptr;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST list = SHBrowseForFolderA(&info);
    if (!list) return false;
    char buffer[MAX_PATH + 1] = {};
    const BOOL ok = SHGetPathFromIDListA(list, buffer);
    CoTaskMemFree(list);
    if (!ok) return false;
    if (path) *path = buffer;
    return true;
  }
};

}  // namespace

void InstallWin32Backend() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES |
              ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_COOL_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ContainerProc;
  wc.hInstance = Instance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kContainerClass;
  RegisterClassExW(&wc);
  WNDCLASSEXW mc{};
  mc.cbSize = sizeof mc;
  mc.lpfnWndProc = MessageProc;
  mc.hInstance = Instance();
  mc.lpszClassName = kMessageClass;
  RegisterClassExW(&mc);
  static Win32Backend backend;
  static Win32Dialogs dialogs;
  Application().SetBackend(&backend);
  InstallDialogs(&dialogs);
  g_trayIconBackend = TrayIconChanged;
}

bool SaveScreenBitmap(const std::wstring& path, TControl* window) {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window && window->Handle()) GetWindowRect(static_cast<HWND>(window->Handle()), &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = h;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
  std::vector<BYTE> pixels(stride * static_cast<DWORD>(h));
  GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  fwrite(&fh, sizeof fh, 1, f);
  fwrite(&bi, sizeof bi, 1, f);
  fwrite(pixels.data(), 1, pixels.size(), f);
  fclose(f);
  return true;
}

}  // namespace Q
