#pragma once
// The list view of the windows: the class library's report list with the state colours
// and hot-tracking frame of KvFramed.h, check-state events (one that can refuse the
// change), a context menu per item, a last column that fills the remaining width,
// sorting by a click on a column header (only with AlphaSortAll), header items drawn
// with a sort arrow, caption editing started only by a click on the caption itself
// (unless EditOnRowClick), and the wheel scrolling by a fixed number of pixels.
//
// Items stay bound to their rows by position: nothing sorts them unless AlphaSortAll
// is set or the program sorts.

#include <cstdint>
#include <functional>

#include "platform/gui/ListView.h"
#include "widgets/KvFramed.h"

class TPopupMenu;

// Where a header item shows its sort arrow.
enum TKvLVHeaderSortDisplayMode : uint8_t { hsdmNone, hsdmLeftAlign, hsdmRightOfText, hsdmRightAlign };
enum TKvLVSortDirection : uint8_t { sdAscending, sdDescending };

// Checked is the state the item is about to get; clearing Allow keeps the old one.
using TKvLVCheckStateChanging = std::function<void(TComponent* Sender, TListItem* Item, bool Checked, bool& Allow)>;
// Item is the item clicked, or the selected one when asked from the keyboard. Position
// (client coordinates) and Menu start as where and what would pop up; the handler may
// change both, and clear Menu to show none.
using TKvLVOnItemContextMenuEvent =
    std::function<void(TComponent* Sender, TListItem* Item, TPoint& Position, TPopupMenu*& Menu)>;

class TKvCustomListView : public TKvFramed<TCustomListView> {
public:
  explicit TKvCustomListView(TComponent* AOwner);
  ~TKvCustomListView() override;
  void Loaded() override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  // A click on a column header sorts by that column, ascending, and again descending;
  // the next click sorts ascending again. Empty texts sort after the others.
  bool AlphaSortAll() const { return FAlphaSortAll; }
  void SetAlphaSortAll(bool Value) { FAlphaSortAll = Value; }
  // With RowSelect, a click anywhere in the selected row may start editing its caption;
  // off, only a click inside the caption's rectangle does (F2 edits either way).
  bool EditOnRowClick() const { return FEditOnRowClick; }
  void SetEditOnRowClick(bool Value) { FEditOnRowClick = Value; }
  // The last column takes the width the others leave.
  bool FillLastColumn() const { return FFillLastColumn; }
  void SetFillLastColumn(bool Value);
  // hsdmNone leaves the header items to the class library; the others draw them here.
  TKvLVHeaderSortDisplayMode HeaderSortDisplayMode() const { return FHeaderSortDisplayMode; }
  void SetHeaderSortDisplayMode(TKvLVHeaderSortDisplayMode Value);
  // Drawn header items show their caption and sort arrow (otherwise only their face).
  bool HeaderDefaultDrawing() const { return FHeaderDefaultDrawing; }
  void SetHeaderDefaultDrawing(bool Value);
  // The column whose header shows the sort arrow (-1: none) and the arrow's direction.
  int32_t HeaderSortColumn() const { return FSortColumn; }
  TKvLVSortDirection HeaderSortDirection() const { return FSortDirection; }

  // Fills the client width with the last column (see FillLastColumn): it grows to what
  // the other columns leave, less a scroll bar's width while the list is empty, but not
  // below 5 pixels.
  virtual void ResizeLastColumn();

  TKvLVCheckStateChanging OnCheckStateChanging;
  TLVNotifyEvent OnCheckStateChange;
  TKvLVOnItemContextMenuEvent OnItemContextMenu;

  // The scroll bar width reserved while the list is empty (SM_CXVSCROLL).
  static constexpr int32_t ScrollBarWidth = 17;

protected:
  bool CanEdit(TListItem* Item) override;
  bool ItemStateChanging(TListItem* Item, uint32_t NewState, uint32_t OldState) override;
  void ItemStateChanged(TListItem* Item, uint32_t NewState, uint32_t OldState) override;
  void ColClick(TListColumn* Column) override;
  bool WMContextMenu(const TPoint& Pos) override;
  // Scrolls the system's wheel lines times 16 pixels per step.
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) override;
  void SetHeaderSort(int32_t Column, TKvLVSortDirection Direction);
  // An owner-drawn header item of Column in R (the item's own coordinates) on Canvas.
  virtual void DrawHeaderItem(TCanvas* Canvas, int32_t Column, const TRect& R);

private:
  class THeader;
  // How two items compare by the texts of Column (see AlphaSortAll).
  static int32_t CompareByColumn(TListItem* A, TListItem* B, int32_t Column);

  bool FAlphaSortAll = false;
  bool FEditOnRowClick = false;
  bool FFillLastColumn = true;
  TKvLVHeaderSortDisplayMode FHeaderSortDisplayMode = hsdmRightOfText;
  bool FHeaderDefaultDrawing = true;
  int32_t FLastSorted = -1;
  int32_t FSortColumn = -1;
  TKvLVSortDirection FSortDirection = sdAscending;
  bool FInLoaded = false;
  THeader* FHeader = nullptr;
};

class TKvListView : public TKvCustomListView {
public:
  using TKvCustomListView::TKvCustomListView;
};
