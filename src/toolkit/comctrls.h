// The common controls: page and tab controls, tree view, list view, tool bar, cool bar,
// status bar and the notification-area (tray) icon.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/component.h"
#include "toolkit/menus.h"

namespace Q {

class TPageControl;

class TTabSheet : public TControl {
 public:
  explicit TTabSheet(TComponent* owner) : TControl(owner) {}
  ~TTabSheet() override;
  const char* ClassName() const override { return "TTabSheet"; }
  TPageControl* PageControl() const { return pageControl_; }
  // Places the sheet as the last page of `pc` (null: removes it).
  void SetPageControl(TPageControl* pc);
  // A sheet whose tab is hidden is not a page the user can reach.
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool v);
  int ImageIndex = -1;
  int PageIndex() const;
  // Index among the visible tabs, -1 when hidden.
  int TabIndex() const;

  friend class TPageControl;

 private:
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

class TPageControl : public TControl {
 public:
  explicit TPageControl(TComponent* owner) : TControl(owner) { TabStop = true; }
  ~TPageControl() override;
  const char* ClassName() const override { return "TPageControl"; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const { return pages_.at(static_cast<size_t>(index)); }
  TTabSheet* ActivePage() const { return active_; }
  // Shows `page` (one of this control's pages) and hides the others.
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  TImageList* Images = nullptr;
  enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
  TTabStyle Style = tsTabs;
  bool MultiLine = false;
  bool HotTrack = false;
  TRect ClientRect() const override;
  TNotifyEvent OnChange;
  std::function<void(TComponent*, bool& allow)> OnChanging;
  // Tab selection as the user makes it (OnChanging, then OnChange).
  void UserSelectTab(int visibleTabIndex);

  friend class TTabSheet;

 private:
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
};

class TTabControl : public TControl {
 public:
  explicit TTabControl(TComponent* owner);
  const char* ClassName() const override { return "TTabControl"; }
  TStrings& Tabs() { return tabs_; }
  int TabIndex = -1;

 private:
  TStrings tabs_;
};

class TTreeView;

class TTreeNode {
 public:
  TTreeNode(TTreeView* tree, TTreeNode* parent) : tree_(tree), parent_(parent) {}
  ~TTreeNode();
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  const std::wstring& Text() const { return text_; }
  void SetText(const std::wstring& text);
  void* Data = nullptr;
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int v);
  // Shows the expand button even before children exist.
  bool HasChildren() const { return hasChildren_ || !children_.empty(); }
  void SetHasChildren(bool v);
  bool Expanded() const { return expanded_; }
  // Expands (after OnExpanding allows it) or collapses the node.
  void Expand(bool recurse = false);
  void Collapse();
  bool Selected() const;
  void Select();

  TTreeNode* Parent() const { return parent_; }
  TTreeView* TreeView() const { return tree_; }
  int Count() const { return static_cast<int>(children_.size()); }
  TTreeNode* Item(int index) const { return children_.at(static_cast<size_t>(index)).get(); }
  int Index() const;
  int Level() const;
  TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : Item(0); }
  TTreeNode* GetNextSibling() const;
  TTreeNode* GetPrevSibling() const;
  // Deletes all children (OnDeletion runs for each, deepest first).
  void DeleteChildren();
  // Deletes this node (and its children) from the tree.
  void Delete();
  // Sorts the children with `compare` (< 0: a first); recursive when asked.
  void CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare, bool recurse = false);

  // Native item handle of the peer.
  void* PeerItem = nullptr;

  friend class TTreeView;
  friend class TTreeNodes;

 private:
  TTreeView* tree_;
  TTreeNode* parent_;
  std::vector<std::unique_ptr<TTreeNode>> children_;
  std::wstring text_;
  int imageIndex_ = -1;
  int selectedIndex_ = -1;
  bool hasChildren_ = false;
  bool expanded_ = false;
};

// The tree's top-level node list and node factory.
class TTreeNodes {
 public:
  explicit TTreeNodes(TTreeView* tree) : tree_(tree) {}
  int Count() const;  // all nodes
  TTreeNode* GetFirstNode() const { return roots_.empty() ? nullptr : roots_[0].get(); }
  int RootCount() const { return static_cast<int>(roots_.size()); }
  TTreeNode* Root(int index) const { return roots_.at(static_cast<size_t>(index)).get(); }
  // Adds a last child of `parent` (null: a top-level node).
  TTreeNode* AddChild(TTreeNode* parent, const std::wstring& text);
  TTreeNode* AddChildObject(TTreeNode* parent, const std::wstring& text, void* data);
  // Adds a first child of `parent`.
  TTreeNode* AddChildObjectFirst(TTreeNode* parent, const std::wstring& text, void* data);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updating_ > 0; }
  // Every node in display order (depth first).
  std::vector<TTreeNode*> All() const;

  friend class TTreeNode;
  friend class TTreeView;

 private:
  std::vector<std::unique_ptr<TTreeNode>>& SiblingsOf(TTreeNode* parent);
  TTreeView* tree_;
  std::vector<std::unique_ptr<TTreeNode>> roots_;
  int updating_ = 0;
};

class TTreeView : public TControl {
 public:
  explicit TTreeView(TComponent* owner);
  ~TTreeView() override;
  const char* ClassName() const override { return "TTreeView"; }
  TTreeNodes& Items() { return items_; }
  TTreeNode* Selected() const { return selected_; }
  // Selects `node` (null: none); OnChanging may refuse, then OnChange runs.
  void SetSelected(TTreeNode* node);
  TImageList* Images = nullptr;
  bool ReadOnly = true;
  bool HideSelection = false;
  bool RightClickSelect = true;
  bool ShowRoot = true;
  bool ShowLines = true;
  bool HotTrack = false;
  // Selecting a node expands it.
  bool AutoExpand = false;

  // Sibling order kept on insertion: with OnCompare (< 0: first node first), or by text.
  enum TSortType { stNone, stText };
  TSortType SortType = stNone;
  std::function<int(TTreeNode*, TTreeNode*)> OnCompare;

  // Multi-selection (control and shift clicks): the selected nodes, Selected() first.
  bool MultiSelect = false;
  std::vector<TTreeNode*> Selections() const;
  int SelectionCount() const { return static_cast<int>(Selections().size()); }
  // Adds `node` to the selection or removes it (control click).
  void ToggleSelection(TTreeNode* node);
  // Selects the nodes between Selected() and `node` in display order (shift click).
  void SelectRange(TTreeNode* node);
  bool IsSelected(const TTreeNode* node) const;
  // Custom sibling order: sorts the children of every node (roots too) with `compare`.
  void CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare);

  std::function<void(TComponent*, TTreeNode*)> OnChange;
  std::function<void(TComponent*, TTreeNode*, bool& allow)> OnChanging;
  std::function<void(TComponent*, TTreeNode*, bool& allow)> OnExpanding;
  std::function<void(TComponent*, TTreeNode*)> OnExpanded;
  std::function<void(TComponent*, TTreeNode*, bool& allow)> OnCollapsing;
  // Runs for every node being deleted (the view releases the node's data).
  std::function<void(TComponent*, TTreeNode*)> OnDeletion;

  // The node at client point (x, y), or null (always null headless).
  TTreeNode* GetNodeAt(int x, int y) const;
  void NodeChanged(TTreeNode* node, TChange change) {
    if (!items_.Updating()) Changed(change, node);
  }
  friend class TTreeNode;
  friend class TTreeNodes;

 private:
  void NodeDeleting(TTreeNode* node);
  // Position among `siblings` where `node` goes in the kept order.
  size_t SortedPosition(const std::vector<std::unique_ptr<TTreeNode>>& siblings, TTreeNode* node);
  TTreeNodes items_;
  TTreeNode* selected_ = nullptr;
  std::vector<TTreeNode*> extraSelected_;  // multi-selection beyond selected_
  bool clearing_ = false;
};

class TListView;

class TListColumn {
 public:
  std::wstring Caption;
  int Width = 80;
  TAlignment Alignment = taLeftJustify;
};

class TListItem {
 public:
  explicit TListItem(TListView* owner) : owner_(owner) {}
  const std::wstring& Caption() const { return caption_; }
  void SetCaption(const std::wstring& text);
  // Texts of columns 1.. (SubItems(0) is column 1).
  int SubItemCount() const { return static_cast<int>(subItems_.size()); }
  const std::wstring& SubItem(int index) const;
  void SetSubItem(int index, const std::wstring& text);
  void AddSubItem(const std::wstring& text);
  void ClearSubItems();
  void* Data = nullptr;
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  bool Selected() const { return selected_; }
  void SetSelected(bool v);
  bool Focused = false;
  int Index() const;
  TListView* Owner() const { return owner_; }

  friend class TListView;

 private:
  void Notify();
  TListView* owner_;
  std::wstring caption_;
  std::vector<std::wstring> subItems_;
  int imageIndex_ = -1;
  bool selected_ = false;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListView : public TControl {
 public:
  explicit TListView(TComponent* owner);
  ~TListView() override;
  const char* ClassName() const override { return "TListView"; }

  // Columns.
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  TListColumn* Column(int index) const { return columns_.at(static_cast<size_t>(index)).get(); }
  TListColumn* AddColumn(const std::wstring& caption, int width);
  void ColumnsChanged() { Changed(TChange::kItems); }

  // Items.
  int Count() const { return static_cast<int>(items_.size()); }
  TListItem* Item(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
  TListItem* Add();
  // Deletes the item (OnDeletion first).
  void Delete(TListItem* item);
  void Clear();
  void BeginUpdate() { ++updating_; }
  void EndUpdate();
  bool Updating() const { return updating_ > 0; }

  // Selection.
  bool MultiSelect = false;
  bool RowSelect = true;
  bool ReadOnly = true;
  bool HideSelection = false;
  bool GridLines = false;
  bool ColumnClick = true;  // column headers are buttons
  // stText: rows kept in the order of their captions.
  enum TSortType { stNone, stText };
  TSortType SortType = stNone;
  void AlphaSort();
  TViewStyle ViewStyle = vsReport;
  TImageList* SmallImages = nullptr;
  // The first selected item, or null; setting selects only `item`.
  TListItem* Selected() const;
  void SetSelected(TListItem* item);
  int SelCount() const;
  std::vector<TListItem*> SelectedItems() const;
  void SelectAll();
  void ClearSelection();

  // Sorting: with `compare` (< 0: a first), stable.
  void CustomSort(const std::function<int(TListItem*, TListItem*)>& compare);

  std::function<void(TComponent*, TListColumn*)> OnColumnClick;
  std::function<void(TComponent*, TListItem*, bool selected)> OnSelectItem;
  std::function<void(TComponent*, TListItem*)> OnDeletion;

  // User actions reported by the peer (or a test).
  void UserClickColumn(int index);
  void UserSelect(TListItem* item, bool selected);
  TListItem* GetItemAt(int x, int y) const;

  friend class TListItem;

 private:
  void ItemChanged(TListItem* item, TChange change) {
    if (!Updating()) Changed(change, item);
  }
  std::vector<std::unique_ptr<TListColumn>> columns_;
  std::vector<std::unique_ptr<TListItem>> items_;
  int updating_ = 0;
  bool pendingRebuild_ = false;
};

class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolButton : public TControl {
 public:
  explicit TToolButton(TComponent* owner) : TControl(owner) {}
  ~TToolButton() override;
  const char* ClassName() const override { return "TToolButton"; }
  TToolButtonStyle Style = tbsButton;
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v) { imageIndex_ = v; Changed(TChange::kImages); }
  bool Down() const { return down_; }
  void SetDown(bool v) { down_ = v; Changed(TChange::kState); }
  TPopupMenu* DropdownMenu = nullptr;
  TToolBar* ToolBar() const { return toolBar_; }
  // Places the button as the last button of `bar`.
  void SetToolBar(TToolBar* bar);
  void ActionChanged(unsigned what = acAll) override;
  // The drop-down arrow as the user presses it (shows DropdownMenu).
  void DropDown();

  friend class TToolBar;

 private:
  int imageIndex_ = -1;
  bool down_ = false;
  TToolBar* toolBar_ = nullptr;
};

class TToolBar : public TControl {
 public:
  explicit TToolBar(TComponent* owner) : TControl(owner) { SetHeight(26); }
  ~TToolBar() override;
  const char* ClassName() const override { return "TToolBar"; }
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TToolButton* Buttons(int index) const { return buttons_.at(static_cast<size_t>(index)); }
  TImageList* Images = nullptr;
  bool ShowCaptions = false;
  bool Flat = true;
  bool List = false;  // captions beside the images
  // Creates a button owned by `owner` (the form) at the end of the bar.
  TToolButton* AddButton(TComponent* owner, const std::wstring& name, TAction* action);
  TToolButton* AddSeparator(TComponent* owner, const std::wstring& name);

  friend class TToolButton;

 private:
  std::vector<TToolButton*> buttons_;
};

// A band container for tool bars.
class TCoolBar : public TControl {
 public:
  explicit TCoolBar(TComponent* owner) : TControl(owner) { SetHeight(30); }
  const char* ClassName() const override { return "TCoolBar"; }
  bool AutoSize = true;
};

class TStatusPanel {
 public:
  std::wstring Text;
  int Width = 50;
};

class TStatusBar : public TControl {
 public:
  explicit TStatusBar(TComponent* owner) : TControl(owner) { SetHeight(19); SetAlign(alBottom); }
  const char* ClassName() const override { return "TStatusBar"; }
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool v) { simplePanel_ = v; Changed(TChange::kState); }
  const std::wstring& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::wstring& v) { simpleText_ = v; Changed(TChange::kText); }
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  TStatusPanel* Panel(int index) { return &panels_.at(static_cast<size_t>(index)); }
  TStatusPanel* AddPanel(int width);
  void SetPanelText(int index, const std::wstring& text);

 private:
  bool simplePanel_ = false;
  std::wstring simpleText_;
  std::vector<TStatusPanel> panels_;
};

// The notification-area icon with its menu.
class TTrayIcon : public TComponent {
 public:
  explicit TTrayIcon(TComponent* owner) : TComponent(owner) {}
  ~TTrayIcon() override;
  const char* ClassName() const override { return "TTrayIcon"; }
  std::wstring Hint;
  TPopupMenu* PopupMenu = nullptr;
  // The icon: image IconIndex of Images (none: the program's icon).
  TImageList* Images = nullptr;
  int IconIndex = -1;
  bool Visible() const { return visible_; }
  // Adds the icon to the notification area (or removes it) when a backend runs.
  void SetVisible(bool v);
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  // User actions reported by the backend.
  void UserClick() {
    if (OnClick) OnClick(this);
  }
  void UserDblClick() {
    if (OnDblClick) OnDblClick(this);
  }
  void UserContextMenu(int x, int y);

  // Native state of the backend (icon registration).
  void* PeerState = nullptr;
  std::function<void(TTrayIcon*)> PeerDestroy;

 private:
  bool visible_ = false;
};

// Hook the backend installs so that tray icons become real.
extern std::function<void(TTrayIcon*, bool visible)> g_trayIconBackend;

}  // namespace Q
