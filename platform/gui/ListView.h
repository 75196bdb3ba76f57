#pragma once
// The list view in report style over QTreeWidget: rows of items, each a caption in the
// first column and sub-items in the next ones, with check boxes, selection and focus.
//
// Binding by position. Items keep the order they were added or inserted in: item i is
// row i, through inserts and deletes, and nothing sorts them unless asked (SortType
// other than stNone, AlphaSort, CustomSort).
//
// State changes. A change of an item's selection, focus or check state, by the user or
// by code, first asks ItemStateChanging (default: CanChange with ctState, i.e.
// OnChanging), which may refuse it: the item then keeps its state. An accepted change
// then reaches ItemStateChanged (default: Change with ctState, i.e. OnChange, and
// OnSelectItem when the selection changed). States are LVIS_ bits: the focus and the
// selection, and the check state as a state image (LVIS_CHECKED or LVIS_UNCHECKED;
// none without check boxes). A notification carries only the bits of the change:
// ticking an item gives NewState LVIS_CHECKED and OldState LVIS_UNCHECKED.
//
// Coordinates are client coordinates: the client area lies inside the border band and
// holds the column headers at its top (when shown) and the rows below them.
//
// Editing captions in place (ReadOnly off): a click on the caption of the item that is
// already selected and focused, in a list that had the focus, starts the edit once the
// double-click time has passed without a double click (the whole row takes the click
// with RowSelect, the check box excepted); F2 edits the focused item. CanEdit
// (OnEditing) may refuse it. Enter, or the editor losing the focus, commits: Edit
// (OnEdited, which may change the text, then the caption becomes it); Escape cancels.
//
// Not built: the icon, small-icon and list styles and item images.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Strings.h"
#include "platform/gui/WidgetControl.h"

class QHeaderView;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;

class TCustomListView;
class TListItems;
class TTimer;

enum : uint32_t {
  LVIS_FOCUSED = 0x0001,
  LVIS_SELECTED = 0x0002,
  LVIS_UNCHECKED = 0x1000,
  LVIS_CHECKED = 0x2000,
  LVIS_STATEIMAGEMASK = 0xF000,
};

enum TItemChange : uint8_t { ctText, ctImage, ctState };
enum TSortType : uint8_t { stNone, stData, stText, stBoth };
enum TDisplayCode : uint8_t { drBounds, drIcon, drLabel, drSelectBounds };

class TListItem {
public:
  TListItem(const TListItem&) = delete;
  TListItem& operator=(const TListItem&) = delete;

  TCustomListView* ListView() const { return FListView; }
  TListItems* Owner() const;
  // The row of the item.
  int32_t Index() const;

  const std::string& Caption() const { return FCaption; }
  // May be refused by CanChange (ctText); sorts a list with SortType stText or stBoth.
  void SetCaption(const std::string& Value);
  // The texts of the columns after the first.
  TStrings* SubItems() const { return FSubItems.get(); }
  // Without check boxes, always false.
  bool Checked() const;
  void SetChecked(bool Value);
  bool Selected() const;
  void SetSelected(bool Value);
  bool Focused() const;
  void SetFocused(bool Value);
  // The LVIS_ bits of the item (see the file comment).
  uint32_t States() const;
  // Sorts a list with SortType stData or stBoth.
  void* Data() const { return FData; }
  void SetData(void* Value);

  // Starts editing the caption in place (see the file comment); false when the list is
  // read-only or the edit is refused.
  bool EditCaption();
  // Scrolls the item into view (PartialOK: a partly shown item is left as it is).
  void MakeVisible(bool PartialOK);
  // In client coordinates; empty while the item is scrolled out of the rows' area.
  TRect DisplayRect(TDisplayCode Code) const;
  // Frees the item (OnDeletion first).
  void Delete();

private:
  friend class TListItems;
  friend class TCustomListView;
  class TSubItems;
  explicit TListItem(TCustomListView* AListView);
  ~TListItem();

  TCustomListView* FListView;
  QTreeWidgetItem* FRow;
  std::string FCaption;
  std::unique_ptr<TStrings> FSubItems;
  void* FData = nullptr;
};

class TListItems {
public:
  ~TListItems();
  TListItems(const TListItems&) = delete;
  TListItems& operator=(const TListItems&) = delete;

  TCustomListView* Owner() const { return FListView; }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // Raises EListError for an index out of range.
  TListItem* Item(int32_t Index) const;
  TListItem* operator[](int32_t Index) const { return Item(Index); }
  int32_t IndexOf(const TListItem* Item) const;
  // A new empty item at the end, or before row Index; OnInsert follows.
  TListItem* Add();
  TListItem* Insert(int32_t Index);
  // OnDeletion, then the item goes.
  void Delete(int32_t Index);
  void Clear();
  // The rows are shown again only at the last EndUpdate.
  void BeginUpdate();
  void EndUpdate();

private:
  friend class TCustomListView;
  friend class TListItem;
  explicit TListItems(TCustomListView* AListView) : FListView(AListView) {}

  TCustomListView* FListView;
  std::vector<TListItem*> FItems;
  int32_t FUpdateCount = 0;
};

class TListColumn {
public:
  TListColumn(const TListColumn&) = delete;
  TListColumn& operator=(const TListColumn&) = delete;

  int32_t Index() const;
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  // Pixels; follows the user's resizing.
  int32_t Width() const;
  void SetWidth(int32_t Value);
  // The first column's texts are always left-aligned.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);

private:
  friend class TListColumns;
  friend class TCustomListView;
  explicit TListColumn(TCustomListView* AListView) : FListView(AListView) {}

  TCustomListView* FListView;
  std::string FCaption;
  int32_t FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
};

class TListColumns {
public:
  TListColumns(const TListColumns&) = delete;
  TListColumns& operator=(const TListColumns&) = delete;

  int32_t Count() const { return static_cast<int32_t>(FColumns.size()); }
  TListColumn* Items(int32_t Index) const;
  TListColumn* operator[](int32_t Index) const { return Items(Index); }
  TListColumn* Add();
  void Delete(int32_t Index);
  void Clear();

private:
  friend class TCustomListView;
  friend class TListColumn;
  explicit TListColumns(TCustomListView* AListView) : FListView(AListView) {}

  TCustomListView* FListView;
  std::vector<std::unique_ptr<TListColumn>> FColumns;
};

using TLVNotifyEvent = std::function<void(TComponent* Sender, TListItem* Item)>;
using TLVSelectItemEvent = std::function<void(TComponent* Sender, TListItem* Item, bool Selected)>;
using TLVChangeEvent = std::function<void(TComponent* Sender, TListItem* Item, TItemChange Change)>;
using TLVChangingEvent = std::function<void(TComponent* Sender, TListItem* Item, TItemChange Change, bool& AllowChange)>;
using TLVEditingEvent = std::function<void(TComponent* Sender, TListItem* Item, bool& AllowEdit)>;
// S starts as the text the user committed; the caption becomes what the handler leaves.
using TLVEditedEvent = std::function<void(TComponent* Sender, TListItem* Item, std::string& S)>;
using TLVColumnClickEvent = std::function<void(TComponent* Sender, TListColumn* Column)>;
// Compare < 0: Item1 goes first.
using TLVCompareEvent =
    std::function<void(TComponent* Sender, TListItem* Item1, TListItem* Item2, intptr_t Data, int32_t& Compare)>;
using TLVCompare = std::function<int32_t(TListItem* Item1, TListItem* Item2)>;

class TCustomListView : public TWidgetControl {
public:
  explicit TCustomListView(TComponent* AOwner);
  ~TCustomListView() override;
  void BeforeDestruction() override;

  TListColumns* Columns() const { return FColumns.get(); }
  TListItems* Items() const { return FItems.get(); }

  bool Checkboxes() const { return FCheckboxes; }
  void SetCheckboxes(bool Value);
  bool ShowColumnHeaders() const { return FShowColumnHeaders; }
  void SetShowColumnHeaders(bool Value);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  // The whole row shows the selection and takes clicks; otherwise the caption does.
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool Value);
  // On, the user cannot edit captions.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  // A caption's editor is open.
  bool IsEditing() const;
  // The selection is shown only while the control has the focus (otherwise in clBtnFace).
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value);
  bool GridLines() const { return FGridLines; }
  void SetGridLines(bool Value);
  TSortType SortType() const { return FSortType; }
  void SetSortType(TSortType Value);
  // While set, ticking or unticking an item, by the user or by code, is refused (before
  // ItemStateChanging is asked), whatever the handlers of the view say.
  bool ChecksLocked() const { return FChecksLocked; }
  void SetChecksLocked(bool Value) { FChecksLocked = Value; }

  // The first selected item, or -1; setting it selects that item (-1: none).
  int32_t ItemIndex() const;
  void SetItemIndex(int32_t Value);
  // The first selected item; setting it selects only that one (nullptr: none).
  TListItem* Selected() const;
  void SetSelected(TListItem* Value);
  TListItem* ItemFocused() const;
  void SetItemFocused(TListItem* Value);
  int32_t SelCount() const;
  void SelectAll();
  void ClearSelection();
  // The item at a client point, or nullptr.
  TListItem* GetItemAt(int32_t X, int32_t Y) const;
  TListItem* TopItem() const;
  int32_t VisibleRowCount() const;
  // Scrolls by DX pixels and by DY pixels' worth of whole rows.
  void Scroll(int32_t DX, int32_t DY);

  // Sorts by OnCompare, or by caption ignoring case.
  bool AlphaSort();
  // Sorts stably by Compare (without one, as AlphaSort).
  bool CustomSort(const TLVCompare& Compare);

  TLVNotifyEvent OnInsert;
  TLVNotifyEvent OnDeletion;
  TLVSelectItemEvent OnSelectItem;
  TLVChangeEvent OnChange;
  TLVChangingEvent OnChanging;
  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;

protected:
  // Asked before an edit starts: OnEditing.
  virtual bool CanEdit(TListItem* Item);
  // A committed edit: OnEdited, then the caption becomes its text.
  virtual void Edit(TListItem* Item, const std::string& Text);
  // True while CanEdit is asked about an edit that a click started.
  bool EditingByMouse() const { return FEditByMouse; }
  virtual bool CanChange(TListItem* Item, TItemChange Change);
  virtual void Change(TListItem* Item, TItemChange Change);
  virtual bool ItemStateChanging(TListItem* Item, uint32_t NewState, uint32_t OldState);
  virtual void ItemStateChanged(TListItem* Item, uint32_t NewState, uint32_t OldState);
  virtual void DoSelectItem(TListItem* Item, bool Selected);
  virtual void InsertItem(TListItem* Item);
  virtual void Delete(TListItem* Item);
  virtual void ColClick(TListColumn* Column);

  // The header, which a derived control may replace with its own (the list takes it).
  QHeaderView* HeaderView() const;
  void SetHeaderView(QHeaderView* Header);

  TRect GetClientRect() const override;
  void ApplyLook() override;
  void BorderChanged() override;
  bool HostEvent(QEvent* Event) override;
  uint32_t WMGetDlgCode() override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  QTreeWidget* Tree() const;

private:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumn;
  friend class TListColumns;
  friend class TListRow;
  friend class TListHost;
  friend class TListSelectionModel;
  class TDelegate;

  TListItem* ItemOf(const QTreeWidgetItem* Row) const;
  void ApplyColumns();
  void ApplyCheckState(TListItem* Item);
  bool CheckChanging(TListItem* Item, bool NewChecked);
  void ChangeSelection(const std::function<void()>& Apply);
  void SortIfAsked(TSortType When);
  int32_t HeaderHeight() const;
  bool BeginEdit(TListItem* Item, bool ByMouse);
  // The item a left click at the viewport point P would edit (see the file comment).
  TListItem* CaptionAt(const QPoint& P) const;
  void EditAfterClick(TListItem* Item);
  void CancelPendingEdit();

  std::unique_ptr<TListColumns> FColumns;
  std::unique_ptr<TListItems> FItems;
  bool FCheckboxes = false;
  bool FShowColumnHeaders = true;
  bool FMultiSelect = false;
  bool FRowSelect = false;
  bool FReadOnly = false;
  bool FHideSelection = true;
  bool FGridLines = false;
  TSortType FSortType = stNone;
  bool FChecksLocked = false;
  // Set while the control changes states itself (no notifications).
  int32_t FQuiet = 0;
  const TLVCompare* FSorting = nullptr;
  // The item a click will edit when the double-click time has passed, and its timer.
  TListItem* FEditPending = nullptr;
  TTimer* FEditTimer = nullptr;
  // The list took the focus from the click at hand, which therefore edits nothing.
  bool FClickFocused = false;
  bool FEditByMouse = false;
};

class TListView : public TCustomListView {
public:
  using TCustomListView::TCustomListView;
};
