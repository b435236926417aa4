#include "toolkit/comctrls.h"

#include <algorithm>

namespace Q {

std::function<void(TTrayIcon*, bool)> g_trayIconBackend;

// --- Pages ----------------------------------------------------------------------------

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pageControl_ == pc) return;
  if (pageControl_) {
    TPageControl* old = pageControl_;
    auto& pages = old->pages_;
    pages.erase(std::remove(pages.begin(), pages.end(), this), pages.end());
    pageControl_ = nullptr;
    if (old->active_ == this) {
      old->active_ = nullptr;
      for (TTabSheet* p : pages)
        if (p->TabVisible()) {
          old->SetActivePage(p);
          break;
        }
    }
    old->Changed(TChange::kItems);
  }
  pageControl_ = pc;
  if (pc) {
    pc->pages_.push_back(this);
    SetParent(pc);
    SetAlign(alClient);
    SetVisible(pc->active_ == nullptr);
    if (!pc->active_) pc->active_ = this;
    pc->Changed(TChange::kItems);
  }
}

void TTabSheet::SetTabVisible(bool v) {
  if (tabVisible_ == v) return;
  tabVisible_ = v;
  if (!pageControl_) return;
  if (!v && pageControl_->active_ == this) {
    // The active page loses its tab: the first other visible page takes its place.
    TTabSheet* next = nullptr;
    for (TTabSheet* p : pageControl_->pages_)
      if (p != this && p->tabVisible_) {
        next = p;
        break;
      }
    pageControl_->SetActivePage(next);
  }
  pageControl_->Changed(TChange::kItems);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  const auto& pages = pageControl_->pages_;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int index = 0;
  for (TTabSheet* p : pageControl_->pages_) {
    if (p == this) return index;
    if (p->tabVisible_) ++index;
  }
  return -1;
}

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  active_ = page;
  for (TTabSheet* p : pages_) p->SetVisible(p == page);
  Changed(TChange::kSelection);
}

int TPageControl::ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? Pages(index) : nullptr);
}

TRect TPageControl::ClientRect() const {
  // The tabs take the top; the page frame a few pixels around.
  return TRect{4, 26, std::max(4, Width() - 4), std::max(26, Height() - 4)};
}

void TPageControl::UserSelectTab(int visibleTabIndex) {
  TTabSheet* target = nullptr;
  for (TTabSheet* p : pages_)
    if (p->TabIndex() == visibleTabIndex) target = p;
  if (!target || target == active_) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) {
    Changed(TChange::kSelection);  // the peer shows the old tab again
    return;
  }
  {
    FromPeerScope s(this);
    SetActivePage(target);
  }
  if (OnChange) OnChange(this);
}

TTabControl::TTabControl(TComponent* owner) : TControl(owner) {
  tabs_.OnChange = [this] { Changed(TChange::kItems); };
}

// --- Tree -----------------------------------------------------------------------------

TTreeNode::~TTreeNode() = default;

void TTreeNode::SetText(const std::wstring& text) {
  text_ = text;
  tree_->NodeChanged(this, TChange::kItem);
}

void TTreeNode::SetImageIndex(int v) {
  imageIndex_ = v;
  tree_->NodeChanged(this, TChange::kItem);
}

void TTreeNode::SetSelectedIndex(int v) {
  selectedIndex_ = v;
  tree_->NodeChanged(this, TChange::kItem);
}

void TTreeNode::SetHasChildren(bool v) {
  hasChildren_ = v;
  tree_->NodeChanged(this, TChange::kItem);
}

void TTreeNode::Expand(bool recurse) {
  if (!expanded_) {
    bool allow = true;
    if (tree_->OnExpanding) tree_->OnExpanding(tree_, this, allow);
    if (allow && HasChildren()) {
      expanded_ = true;
      tree_->NodeChanged(this, TChange::kItem);
      if (tree_->OnExpanded) tree_->OnExpanded(tree_, this);
    }
  }
  if (recurse)
    for (auto& child : children_) child->Expand(true);
}

void TTreeNode::Collapse() {
  if (!expanded_) return;
  bool allow = true;
  if (tree_->OnCollapsing) tree_->OnCollapsing(tree_, this, allow);
  if (!allow) return;
  expanded_ = false;
  tree_->NodeChanged(this, TChange::kItem);
}

bool TTreeNode::Selected() const { return tree_->Selected() == this; }

void TTreeNode::Select() { tree_->SetSelected(this); }

int TTreeNode::Index() const {
  const auto& siblings = parent_ ? parent_->children_ : tree_->items_.roots_;
  for (size_t i = 0; i < siblings.size(); ++i)
    if (siblings[i].get() == this) return static_cast<int>(i);
  return -1;
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}

TTreeNode* TTreeNode::GetNextSibling() const {
  const auto& siblings = parent_ ? parent_->children_ : tree_->items_.roots_;
  const int i = Index();
  return i + 1 < static_cast<int>(siblings.size()) ? siblings[static_cast<size_t>(i + 1)].get()
                                                   : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
  const auto& siblings = parent_ ? parent_->children_ : tree_->items_.roots_;
  const int i = Index();
  return i > 0 ? siblings[static_cast<size_t>(i - 1)].get() : nullptr;
}

void TTreeNode::DeleteChildren() {
  if (children_.empty()) return;
  tree_->items_.BeginUpdate();
  while (!children_.empty()) children_.back()->Delete();
  tree_->items_.EndUpdate();
}

void TTreeNode::Delete() {
  TTreeView* tree = tree_;
  DeleteChildren();
  tree->NodeDeleting(this);
  auto& siblings = tree->items_.SiblingsOf(parent_);
  TTreeNode* parent = parent_;
  for (auto it = siblings.begin(); it != siblings.end(); ++it) {
    if (it->get() == this) {
      std::unique_ptr<TTreeNode> self = std::move(*it);
      siblings.erase(it);
      if (parent && parent->children_.empty()) parent->expanded_ = false;
      return;  // `self` deletes this node
    }
  }
}

void TTreeNode::CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare,
                           bool recurse) {
  std::stable_sort(children_.begin(), children_.end(),
                   [&](const std::unique_ptr<TTreeNode>& a, const std::unique_ptr<TTreeNode>& b) {
                     return compare(a.get(), b.get()) < 0;
                   });
  if (recurse)
    for (auto& child : children_) child->CustomSort(compare, true);
  tree_->NodeChanged(this, TChange::kItems);
}

std::vector<std::unique_ptr<TTreeNode>>& TTreeNodes::SiblingsOf(TTreeNode* parent) {
  return parent ? parent->children_ : roots_;
}

int TTreeNodes::Count() const { return static_cast<int>(All().size()); }

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::wstring& text) {
  return AddChildObject(parent, text, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::wstring& text, void* data) {
  auto node = std::make_unique<TTreeNode>(tree_, parent);
  node->text_ = text;
  node->Data = data;
  TTreeNode* raw = node.get();
  auto& siblings = SiblingsOf(parent);
  siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(tree_->SortedPosition(siblings, raw)),
                  std::move(node));
  if (!Updating()) tree_->Changed(TChange::kItems, parent);
  return raw;
}

TTreeNode* TTreeNodes::AddChildObjectFirst(TTreeNode* parent, const std::wstring& text,
                                           void* data) {
  auto node = std::make_unique<TTreeNode>(tree_, parent);
  node->text_ = text;
  node->Data = data;
  TTreeNode* raw = node.get();
  auto& siblings = SiblingsOf(parent);
  siblings.insert(siblings.begin(), std::move(node));
  if (!Updating()) tree_->Changed(TChange::kItems, parent);
  return raw;
}

void TTreeNodes::Clear() {
  ++updating_;
  while (!roots_.empty()) roots_.back()->Delete();
  --updating_;
  if (!Updating()) tree_->Changed(TChange::kItems, nullptr);
}

void TTreeNodes::BeginUpdate() { ++updating_; }

void TTreeNodes::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) tree_->Changed(TChange::kItems, nullptr);
}

namespace {
void Walk(TTreeNode* node, std::vector<TTreeNode*>& out) {
  out.push_back(node);
  for (int i = 0; i < node->Count(); ++i) Walk(node->Item(i), out);
}
}  // namespace

std::vector<TTreeNode*> TTreeNodes::All() const {
  std::vector<TTreeNode*> out;
  for (const auto& root : roots_) Walk(root.get(), out);
  return out;
}

TTreeView::TTreeView(TComponent* owner) : TControl(owner), items_(this) {
  TabStop = true;
  SetColor(clWindow);
}

TTreeView::~TTreeView() {
  // OnDeletion handlers of the owning form may already be gone; nodes are released
  // silently here. Views clear their trees (with OnDeletion) before they go.
  OnDeletion = nullptr;
  OnChange = nullptr;
  OnChanging = nullptr;
  clearing_ = true;
  items_.Clear();
}

size_t TTreeView::SortedPosition(const std::vector<std::unique_ptr<TTreeNode>>& siblings,
                                 TTreeNode* node) {
  if (SortType == stNone) return siblings.size();
  // After the last sibling that does not come after the new node (stable).
  size_t pos = siblings.size();
  while (pos > 0) {
    TTreeNode* before = siblings[pos - 1].get();
    const int order = OnCompare ? OnCompare(before, node) : before->Text().compare(node->Text());
    if (order <= 0) break;
    --pos;
  }
  return pos;
}

std::vector<TTreeNode*> TTreeView::Selections() const {
  std::vector<TTreeNode*> out;
  if (selected_) out.push_back(selected_);
  for (TTreeNode* n : extraSelected_)
    if (n != selected_) out.push_back(n);
  return out;
}

bool TTreeView::IsSelected(const TTreeNode* node) const {
  if (node && node == selected_) return true;
  return std::find(extraSelected_.begin(), extraSelected_.end(), node) != extraSelected_.end();
}

void TTreeView::ToggleSelection(TTreeNode* node) {
  if (!node) return;
  if (!MultiSelect) {
    SetSelected(node);
    return;
  }
  auto it = std::find(extraSelected_.begin(), extraSelected_.end(), node);
  if (node == selected_) {
    // The focused node leaves the selection; another selected one takes its place.
    TTreeNode* next = extraSelected_.empty() ? nullptr : extraSelected_.front();
    if (next) extraSelected_.erase(extraSelected_.begin());
    SetSelected(next);
  } else if (it != extraSelected_.end()) {
    extraSelected_.erase(it);
  } else {
    if (selected_) extraSelected_.push_back(selected_);
    std::vector<TTreeNode*> keep = extraSelected_;
    SetSelected(node);
    extraSelected_ = keep;
  }
  Changed(TChange::kSelection, nullptr);
}

void TTreeView::SelectRange(TTreeNode* node) {
  if (!node) return;
  if (!MultiSelect || !selected_) {
    SetSelected(node);
    return;
  }
  std::vector<TTreeNode*> all = items_.All();
  auto a = std::find(all.begin(), all.end(), selected_);
  auto b = std::find(all.begin(), all.end(), node);
  if (a > b) std::swap(a, b);
  std::vector<TTreeNode*> range(a, b + 1);
  SetSelected(node);
  extraSelected_.clear();
  for (TTreeNode* n : range)
    if (n != node) extraSelected_.push_back(n);
  Changed(TChange::kSelection, nullptr);
}

void TTreeView::SetSelected(TTreeNode* node) {
  if (node == selected_) return;
  bool allow = true;
  if (OnChanging && !clearing_) OnChanging(this, node, allow);
  if (!allow) {
    Changed(TChange::kSelection, selected_);
    return;
  }
  selected_ = node;
  extraSelected_.clear();
  Changed(TChange::kSelection, node);
  if (OnChange && !clearing_) OnChange(this, node);
  if (AutoExpand && node && !clearing_ && !node->Expanded()) node->Expand();
}

void TTreeView::CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare) {
  std::stable_sort(items_.roots_.begin(), items_.roots_.end(),
                   [&](const std::unique_ptr<TTreeNode>& a, const std::unique_ptr<TTreeNode>& b) {
                     return compare(a.get(), b.get()) < 0;
                   });
  for (auto& root : items_.roots_) root->CustomSort(compare, true);
  if (!items_.Updating()) Changed(TChange::kItems, nullptr);
}

void TTreeView::NodeDeleting(TTreeNode* node) {
  extraSelected_.erase(std::remove(extraSelected_.begin(), extraSelected_.end(), node),
                       extraSelected_.end());
  if (selected_ == node) {
    selected_ = nullptr;
    if (!clearing_) Changed(TChange::kSelection, nullptr);
  }
  if (OnDeletion) OnDeletion(this, node);
  if (!items_.Updating()) Changed(TChange::kItems, node->Parent());
  node->PeerItem = nullptr;
}

TTreeNode* TTreeView::GetNodeAt(int x, int y) const {
  // Only a window knows where its items are; headless there is no item at any point.
  return Peer() ? static_cast<TTreeNode*>(const_cast<void*>(Peer()->ItemAt(x, y))) : nullptr;
}

// --- List view ------------------------------------------------------------------------

void TListItem::Notify() { owner_->ItemChanged(this, TChange::kItem); }

void TListItem::SetCaption(const std::wstring& text) {
  caption_ = text;
  if (owner_->SortType == TListView::stText)
    owner_->AlphaSort();
  else
    Notify();
}

const std::wstring& TListItem::SubItem(int index) const {
  static const std::wstring empty;
  if (index < 0 || index >= SubItemCount()) return empty;
  return subItems_[static_cast<size_t>(index)];
}

void TListItem::SetSubItem(int index, const std::wstring& text) {
  if (index < 0) return;
  if (index >= SubItemCount()) subItems_.resize(static_cast<size_t>(index) + 1);
  subItems_[static_cast<size_t>(index)] = text;
  Notify();
}

void TListItem::AddSubItem(const std::wstring& text) {
  subItems_.push_back(text);
  Notify();
}

void TListItem::ClearSubItems() {
  subItems_.clear();
  Notify();
}

void TListItem::SetImageIndex(int v) {
  imageIndex_ = v;
  Notify();
}

void TListItem::SetSelected(bool v) {
  if (selected_ == v) return;
  if (v && !owner_->MultiSelect)
    for (auto& other : owner_->items_)
      if (other.get() != this && other->selected_) {
        other->selected_ = false;
        owner_->ItemChanged(other.get(), TChange::kSelection);
      }
  selected_ = v;
  owner_->ItemChanged(this, TChange::kSelection);
  if (owner_->OnSelectItem) owner_->OnSelectItem(owner_, this, v);
}

int TListItem::Index() const {
  for (size_t i = 0; i < owner_->items_.size(); ++i)
    if (owner_->items_[i].get() == this) return static_cast<int>(i);
  return -1;
}

TListView::TListView(TComponent* owner) : TControl(owner) {
  TabStop = true;
  SetColor(clWindow);
}

TListView::~TListView() {
  OnDeletion = nullptr;
  OnSelectItem = nullptr;
  items_.clear();
}

TListColumn* TListView::AddColumn(const std::wstring& caption, int width) {
  columns_.push_back(std::make_unique<TListColumn>());
  columns_.back()->Caption = caption;
  columns_.back()->Width = width;
  Changed(TChange::kItems);
  return columns_.back().get();
}

TListItem* TListView::Add() {
  items_.push_back(std::make_unique<TListItem>(this));
  // A new last row: the peer appends it (no rebuild).
  if (Updating())
    pendingRebuild_ = true;
  else
    Changed(TChange::kItem, items_.back().get());
  return items_.back().get();
}

void TListView::Delete(TListItem* item) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() != item) continue;
    if (OnDeletion) OnDeletion(this, item);
    items_.erase(it);
    if (Updating())
      pendingRebuild_ = true;
    else
      Changed(TChange::kItems);
    return;
  }
}

void TListView::Clear() {
  ++updating_;
  while (!items_.empty()) Delete(items_.back().get());
  --updating_;
  pendingRebuild_ = false;
  if (!Updating()) Changed(TChange::kItems);
  else pendingRebuild_ = true;
}

void TListView::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) {
    pendingRebuild_ = false;
    Changed(TChange::kItems);
  }
}

TListItem* TListView::Selected() const {
  for (const auto& item : items_)
    if (item->selected_) return item.get();
  return nullptr;
}

void TListView::SetSelected(TListItem* item) {
  for (auto& other : items_)
    if (other.get() != item && other->selected_) other->SetSelected(false);
  if (item) item->SetSelected(true);
}

int TListView::SelCount() const {
  int n = 0;
  for (const auto& item : items_) n += item->selected_ ? 1 : 0;
  return n;
}

std::vector<TListItem*> TListView::SelectedItems() const {
  std::vector<TListItem*> out;
  for (const auto& item : items_)
    if (item->selected_) out.push_back(item.get());
  return out;
}

void TListView::SelectAll() {
  if (!MultiSelect) return;
  for (auto& item : items_) item->SetSelected(true);
}

void TListView::ClearSelection() { SetSelected(nullptr); }

void TListView::CustomSort(const std::function<int(TListItem*, TListItem*)>& compare) {
  std::stable_sort(items_.begin(), items_.end(),
                   [&](const std::unique_ptr<TListItem>& a, const std::unique_ptr<TListItem>& b) {
                     return compare(a.get(), b.get()) < 0;
                   });
  if (Updating())
    pendingRebuild_ = true;
  else
    Changed(TChange::kItems);
}

void TListView::AlphaSort() {
  CustomSort([](TListItem* a, TListItem* b) { return a->Caption().compare(b->Caption()); });
}

void TListView::UserClickColumn(int index) {
  if (index < 0 || index >= ColumnCount()) return;
  if (OnColumnClick) OnColumnClick(this, Column(index));
}

void TListView::UserSelect(TListItem* item, bool selected) {
  if (!item || item->selected_ == selected) return;
  FromPeerScope s(this);
  if (selected && !MultiSelect) {
    for (auto& other : items_)
      if (other.get() != item && other->selected_) {
        other->selected_ = false;
        if (OnSelectItem) OnSelectItem(this, other.get(), false);
      }
  }
  item->selected_ = selected;
  if (OnSelectItem) OnSelectItem(this, item, selected);
}

TListItem* TListView::GetItemAt(int x, int y) const {
  return Peer() ? static_cast<TListItem*>(const_cast<void*>(Peer()->ItemAt(x, y))) : nullptr;
}

// --- Tool bar -------------------------------------------------------------------------

TToolButton::~TToolButton() { SetToolBar(nullptr); }

void TToolButton::SetToolBar(TToolBar* bar) {
  if (toolBar_ == bar) return;
  if (toolBar_) {
    auto& buttons = toolBar_->buttons_;
    buttons.erase(std::remove(buttons.begin(), buttons.end(), this), buttons.end());
    toolBar_->Changed(TChange::kItems);
  }
  toolBar_ = bar;
  if (bar) {
    bar->buttons_.push_back(this);
    SetParent(bar);
    bar->Changed(TChange::kItems);
  }
}

void TToolButton::ActionChanged(unsigned what) {
  TControl::ActionChanged(what);
  if (Action() && (what & acImageIndex)) SetImageIndex(Action()->ImageIndex());
}

void TToolButton::DropDown() {
  if (!Enabled() || !DropdownMenu) return;
  DropdownMenu->PopupComponent = this;
  DropdownMenu->Popup(Left(), Top() + Height());
}

TToolBar::~TToolBar() {
  for (TToolButton* b : buttons_) b->toolBar_ = nullptr;
}

TToolButton* TToolBar::AddButton(TComponent* owner, const std::wstring& name, TAction* action) {
  auto* button = new TToolButton(owner);
  button->SetName(name);
  button->SetToolBar(this);
  if (action) button->SetAction(action);
  return button;
}

TToolButton* TToolBar::AddSeparator(TComponent* owner, const std::wstring& name) {
  auto* button = new TToolButton(owner);
  button->SetName(name);
  button->Style = tbsSeparator;
  button->SetWidth(8);
  button->SetToolBar(this);
  return button;
}

// --- Status bar -----------------------------------------------------------------------

TStatusPanel* TStatusBar::AddPanel(int width) {
  panels_.push_back(TStatusPanel{});
  panels_.back().Width = width;
  Changed(TChange::kItems);
  return &panels_.back();
}

void TStatusBar::SetPanelText(int index, const std::wstring& text) {
  if (index < 0 || index >= PanelCount()) return;
  panels_[static_cast<size_t>(index)].Text = text;
  Changed(TChange::kItems);
}

// --- Tray icon ------------------------------------------------------------------------

TTrayIcon::~TTrayIcon() {
  if (PeerDestroy) PeerDestroy(this);
}

void TTrayIcon::SetVisible(bool v) {
  if (visible_ == v) return;
  visible_ = v;
  if (g_trayIconBackend) g_trayIconBackend(this, v);
}

void TTrayIcon::UserContextMenu(int x, int y) {
  if (PopupMenu) PopupMenu->Popup(x, y);
}

}  // namespace Q
