#include "widgets/KvListVw.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QTreeWidget>

#include "platform/gui/Menus.h"
#include "platform/gui/QtSupport.h"
#include "widgets/KvFramedImpl.h"

template class TKvFramed<TCustomListView>;

namespace {

// Pixels per wheel line.
constexpr int32_t WheelLinePixels = 16;
// Between a header's caption and its sort arrow.
constexpr int32_t ArrowGap = 5;

bool IsCheckChange(uint32_t NewState, uint32_t OldState) {
  return (NewState == LVIS_CHECKED && OldState == LVIS_UNCHECKED) ||
         (NewState == LVIS_UNCHECKED && OldState == LVIS_CHECKED);
}

// The sort arrow: a triangle a = (height x 3) div 4 high and 2a - 1 wide at R's bottom
// left, pointing up for ascending and down for descending.
void PaintSortArrow(TCanvas* Canvas, const TRect& R, TKvLVSortDirection Direction) {
  const int32_t A = R.Height() * 3 / 4;
  for (int32_t Row = 0; Row < A; ++Row) {
    const int32_t Half = Direction == sdAscending ? Row : A - 1 - Row;
    const int32_t Y = R.Bottom - A + Row;
    for (int32_t X = R.Left + A - 1 - Half; X <= R.Left + A - 1 + Half; ++X) Canvas->SetPixel(X, Y, clBtnShadow);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The header

// Draws its items through the list (unless hsdmNone), and refits the last column after
// the user resized a column.
class TKvCustomListView::THeader : public QHeaderView {
public:
  explicit THeader(TKvCustomListView* View) : QHeaderView(Qt::Horizontal), FView(View) {
    connect(this, &QHeaderView::sectionResized, this, [this] { FResized = FPressed; });
    // After the list's own handling, which fits the column to its contents.
    connect(this, &QHeaderView::sectionHandleDoubleClicked, this, [this] { Refit(); });
  }
  // Qt may free the header (as the list's child) before or after the list object: each
  // side clears the other's link when it goes.
  ~THeader() override {
    if (FView) FView->FHeader = nullptr;
  }
  TKvCustomListView* FView;

protected:
  void paintSection(QPainter* Painter, const QRect& R, int Logical) const override {
    if (!FView || FView->FHeaderSortDisplayMode == hsdmNone || !R.isValid())
      return QHeaderView::paintSection(Painter, R, Logical);
    // The face of the section, then the item drawn on top of it.
    QStyleOptionHeader Option;
    initStyleOption(&Option);
    Option.rect = R;
    Option.section = Logical;
    style()->drawControl(QStyle::CE_HeaderSection, &Option, Painter, this);
    QImage Image(R.size(), QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
    TCanvas Canvas;
    Canvas.SetImage(&Image);
    FView->DrawHeaderItem(&Canvas, Logical, Rect(0, 0, R.width(), R.height()));
    Canvas.SetImage(nullptr);
    Painter->drawImage(R.topLeft(), Image);
  }
  void mousePressEvent(QMouseEvent* E) override {
    FPressed = true;
    FResized = false;
    QHeaderView::mousePressEvent(E);
  }
  void mouseReleaseEvent(QMouseEvent* E) override {
    QHeaderView::mouseReleaseEvent(E);
    FPressed = false;
    if (std::exchange(FResized, false)) Refit();
  }

private:
  void Refit() {
    if (FView) FView->ResizeLastColumn();
  }
  bool FPressed = false;
  bool FResized = false;
};

// ---------------------------------------------------------------------------
// Life

TKvCustomListView::TKvCustomListView(TComponent* AOwner) : TKvFramed(AOwner), FHeader(new THeader(this)) {
  SetHeaderView(FHeader);
}

TKvCustomListView::~TKvCustomListView() {
  // The header goes with the widget; it must not reach back meanwhile.
  if (FHeader) FHeader->FView = nullptr;
}

void TKvCustomListView::Loaded() {
  TKvFramed::Loaded();
  FInLoaded = true;
  ResizeLastColumn();
  FInLoaded = false;
}

void TKvCustomListView::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  const bool Resized = AWidth != Width() || AHeight != Height();
  TKvFramed::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (Resized && FHeader) ResizeLastColumn();
}

// ---------------------------------------------------------------------------
// Columns and header

void TKvCustomListView::SetFillLastColumn(bool Value) {
  if (Value == FFillLastColumn) return;
  FFillLastColumn = Value;
  ResizeLastColumn();
}

void TKvCustomListView::ResizeLastColumn() {
  const int32_t N = Columns()->Count();
  if (!FFillLastColumn || Destroying() || Loading() || N == 0) return;
  int32_t Others = 0;
  for (int32_t I = 0; I < N - 1; ++I) Others += Columns()->Items(I)->Width();
  int32_t Available = ClientWidth();
  // Room for the scroll bar the first items may bring.
  if (Items()->Count() == 0 || FInLoaded) Available -= ScrollBarWidth;
  if (Available <= Others) return;
  Items()->BeginUpdate();
  Columns()->Items(N - 1)->SetWidth(std::max(Available - Others, 5));
  Items()->EndUpdate();
}

void TKvCustomListView::SetHeaderSortDisplayMode(TKvLVHeaderSortDisplayMode Value) {
  if (Value == FHeaderSortDisplayMode) return;
  FHeaderSortDisplayMode = Value;
  FHeader->viewport()->update();
}

void TKvCustomListView::SetHeaderDefaultDrawing(bool Value) {
  if (Value == FHeaderDefaultDrawing) return;
  FHeaderDefaultDrawing = Value;
  FHeader->viewport()->update();
}

void TKvCustomListView::SetHeaderSort(int32_t Column, TKvLVSortDirection Direction) {
  if (Column == FSortColumn && Direction == FSortDirection) return;
  const bool Turned = Column == FSortColumn;
  FSortColumn = Column;
  FSortDirection = Direction;
  FHeader->viewport()->update();
  if (Turned) Tree()->viewport()->update();
}

int32_t TKvCustomListView::CompareByColumn(TListItem* A, TListItem* B, int32_t Column) {
  const auto TextOf = [Column](TListItem* Item) {
    if (Column == 0) return Item->Caption();
    return Column - 1 < Item->SubItems()->Count() ? Item->SubItems()->Strings(Column - 1) : std::string();
  };
  const std::string First = TextOf(A), Second = TextOf(B);
  const int32_t Result = ToQString(First).compare(ToQString(Second), Qt::CaseInsensitive);
  if (Result > 0 && Second.empty()) return -1;
  if (Result < 0 && First.empty()) return 1;
  return Result;
}

void TKvCustomListView::ColClick(TListColumn* Column) {
  if (FAlphaSortAll) {
    const int32_t C = Column->Index();
    const bool Descending = C == FLastSorted;
    SetHeaderSort(C, Descending ? sdDescending : sdAscending);
    CustomSort([C, Descending](TListItem* A, TListItem* B) {
      const int32_t Result = CompareByColumn(A, B, C);
      return Descending ? -Result : Result;
    });
    FLastSorted = Descending ? -1 : C;
  }
  TKvFramed::ColClick(Column);
}

void TKvCustomListView::DrawHeaderItem(TCanvas* Canvas, int32_t Column, const TRect& Item) {
  Canvas->Brush()->SetColor(clBtnFace);
  Canvas->Brush()->SetStyle(bsSolid);
  TRect R = Item;
  InflateRect(R, -2, -2);
  Canvas->FillRect(R);
  if (!FHeaderDefaultDrawing || Column >= Columns()->Count()) return;
  R.Left += 4;
  R.Right -= 4;
  if (R.Right <= R.Left) return;
  Canvas->IntersectClipRect(R.Left, R.Top, R.Right, R.Bottom);
  const TListColumn* C = Columns()->Items(Column);
  const TAlignment Alignment = Column == 0 ? taLeftJustify : C->Alignment();
  // The arrow box: half the item's height wide, centred, low enough for its triangle.
  const int32_t ArrowWidth = Item.Height() / 2, ArrowHeight = ArrowWidth * 2 / 3;
  const bool Arrow = Column == FSortColumn && C->Width() > 2 * ArrowWidth;
  TRect Caption = R;
  int32_t ArrowLeft = R.Right - ArrowWidth;
  Canvas->SetFont(Font());
  Canvas->Font()->SetColor(clBtnText);
  if (Arrow) {
    switch (FHeaderSortDisplayMode) {
      case hsdmLeftAlign:
        ArrowLeft = R.Left;
        Caption.Left += ArrowWidth + ArrowGap;
        break;
      case hsdmRightOfText:
        Caption.Right -= ArrowWidth + ArrowGap;
        if (Alignment == taLeftJustify)
          ArrowLeft = std::min(R.Left + Canvas->TextWidth(C->Caption()) + ArrowGap, ArrowLeft);
        break;
      default: Caption.Right -= ArrowWidth + ArrowGap; break;
    }
  }
  static const uint32_t Alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  Canvas->Brush()->SetStyle(bsClear);
  Canvas->DrawText(C->Caption(), Caption, Alignments[Alignment] | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  if (!Arrow) return;
  const int32_t Top = Item.Top + (Item.Height() - ArrowHeight) / 2;
  PaintSortArrow(Canvas, Rect(ArrowLeft, Top, ArrowLeft + ArrowWidth, Top + ArrowHeight), FSortDirection);
}

// ---------------------------------------------------------------------------
// Editing and check states

bool TKvCustomListView::CanEdit(TListItem* Item) {
  if (!FEditOnRowClick && EditingByMouse() && !PtInRect(Item->DisplayRect(drLabel), ScreenToClient(GetCursorPos())))
    return false;
  return TKvFramed::CanEdit(Item);
}

bool TKvCustomListView::ItemStateChanging(TListItem* Item, uint32_t NewState, uint32_t OldState) {
  if (Checkboxes() && IsCheckChange(NewState, OldState) && OnCheckStateChanging) {
    bool Allow = true;
    OnCheckStateChanging(this, Item, NewState == LVIS_CHECKED, Allow);
    if (!Allow) return false;
  }
  return TKvFramed::ItemStateChanging(Item, NewState, OldState);
}

void TKvCustomListView::ItemStateChanged(TListItem* Item, uint32_t NewState, uint32_t OldState) {
  TKvFramed::ItemStateChanged(Item, NewState, OldState);
  if (Checkboxes() && IsCheckChange(NewState, OldState) && OnCheckStateChange) OnCheckStateChange(this, Item);
}

// ---------------------------------------------------------------------------
// Context menu and wheel

bool TKvCustomListView::WMContextMenu(const TPoint& Pos) {
  if (!OnItemContextMenu) return TKvFramed::WMContextMenu(Pos);
  const bool FromKeyboard = Pos.X == -1 && Pos.Y == -1;
  TListItem* Item = nullptr;
  TPoint At{0, 0};
  if (FromKeyboard) {
    Item = Selected();
    // The centre of the focused item, else of the selected one.
    if (TListItem* Shown = ItemFocused() ? ItemFocused() : Item) {
      const TRect R = Shown->DisplayRect(drBounds);
      if (!IsRectEmpty(R)) At = {(R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2};
    }
  } else {
    At = ScreenToClient(Pos);
    Item = GetItemAt(At.X, At.Y);
  }
  // Without an item, the list's own menu as usual.
  if (!Item) return TKvFramed::WMContextMenu(Pos);
  TPopupMenu* Menu = PopupMenu();
  OnItemContextMenu(this, Item, At, Menu);
  if (Menu) {
    const TPoint Screen = ClientToScreen(At);
    Menu->SetPopupComponent(this);
    Menu->Popup(Screen.X, Screen.Y);
  }
  return true;
}

bool TKvCustomListView::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  if (TKvFramed::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  Scroll(0, -WheelDelta / 120 * QApplication::wheelScrollLines() * WheelLinePixels);
  return true;
}
