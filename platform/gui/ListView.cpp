#include "platform/gui/ListView.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <algorithm>
#include <map>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/QtSupport.h"
#include "platform/gui/WidgetHost.h"

// ---------------------------------------------------------------------------
// Rows, selection and painting in Qt's terms

// The row of a list item: check changes ask the list first, and sorting compares items.
class TListRow : public QTreeWidgetItem {
public:
  explicit TListRow(TListItem* AItem) : QTreeWidgetItem(UserType), Item(AItem) {}
  TListItem* Item;

  void setData(int Column, int Role, const QVariant& Value) override {
    TCustomListView* View = Item->ListView();
    if (Role != Qt::CheckStateRole || Column != 0 || View->FQuiet > 0) return QTreeWidgetItem::setData(Column, Role, Value);
    const bool New = Value.toInt() == Qt::Checked;
    if (New == (checkState(0) == Qt::Checked)) return;
    bool Allowed = false;
    RunGuarded([&] { Allowed = View->CheckChanging(Item, New); }, View);
    if (!Allowed) return;
    QTreeWidgetItem::setData(Column, Role, Value);
    RunGuarded([&] {
      View->ItemStateChanged(Item, New ? LVIS_CHECKED : LVIS_UNCHECKED, New ? LVIS_UNCHECKED : LVIS_CHECKED);
    }, View);
  }
  bool operator<(const QTreeWidgetItem& Other) const override {
    return (*Item->ListView()->FSorting)(Item, static_cast<const TListRow&>(Other).Item) < 0;
  }
};

// Changes of selection and focus go through the list's state notifications.
class TListSelectionModel : public QItemSelectionModel {
public:
  TListSelectionModel(QAbstractItemModel* Model, TCustomListView* View) : QItemSelectionModel(Model, Model), FView(View) {}
  using QItemSelectionModel::select;
  void select(const QItemSelection& Selection, SelectionFlags Command) override {
    FView->ChangeSelection([&] { QItemSelectionModel::select(Selection, Command); });
  }
  void setCurrentIndex(const QModelIndex& Index, SelectionFlags Command) override {
    FView->ChangeSelection([&] { QItemSelectionModel::setCurrentIndex(Index, Command); });
  }

private:
  TCustomListView* FView;
};

// The caption's editor. What is typed into it stays there: Enter, which commits, must
// not go on to the list and press the form's default button. It has no menu of its own.
class TCaptionEditor : public QLineEdit {
public:
  explicit TCaptionEditor(QWidget* Parent) : QLineEdit(Parent) { setContextMenuPolicy(Qt::PreventContextMenu); }

protected:
  void keyPressEvent(QKeyEvent* E) override {
    QLineEdit::keyPressEvent(E);
    E->accept();
  }
  void keyReleaseEvent(QKeyEvent* E) override {
    QLineEdit::keyReleaseEvent(E);
    E->accept();
  }
};

class TCustomListView::TDelegate : public QStyledItemDelegate {
public:
  TDelegate(TCustomListView* View, QObject* Parent) : QStyledItemDelegate(Parent), FView(View) {}

  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
    return new TCaptionEditor(Parent);
  }
  // A committed text goes through the list (Edit), which sets the caption.
  void setModelData(QWidget* Editor, QAbstractItemModel*, const QModelIndex& Index) const override {
    if (FView->FQuiet > 0 || FView->Destroying() || Index.row() >= FView->FItems->Count()) return;
    const std::string Text = FromQString(static_cast<QLineEdit*>(Editor)->text());
    TListItem* Item = FView->FItems->Item(Index.row());
    RunGuarded([&] { FView->Edit(Item, Text); }, FView);
  }

protected:
  void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override {
    QStyledItemDelegate::initStyleOption(Option, Index);
    static const Qt::Alignment Alignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    const int Column = Index.column();
    const TListColumns* Columns = FView->Columns();
    const TAlignment A = Column > 0 && Column < Columns->Count() ? Columns->Items(Column)->Alignment() : taLeftJustify;
    Option->displayAlignment = Alignments[A] | Qt::AlignVCenter;
    if (!FView->FRowSelect && Column > 0) Option->state &= ~QStyle::State_Selected;
    // The look of an unfocused list comes from the palette's inactive group; the focus
    // rectangle is the list's own (TListHost), and nothing lights up under the mouse.
    if (!FView->Tree()->hasFocus()) Option->state &= ~QStyle::State_Active;
    Option->state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
  }
  // A row holds the font's whole height (ascent and descent) with a pixel above and below
  // for the focus rectangle, or a taller picture, and the grid line below it; the text is
  // centred between the dots, so they never cover descenders and underscores.
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    const QSize Hint = QStyledItemDelegate::sizeHint(Option, Index);
    const int Text = QFontMetrics(FView->Font()->QtFont()).height() + 2;
    return QSize(Hint.width(), std::max(Hint.height(), Text) + (FView->FGridLines ? 1 : 0));
  }
  void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    if (!FView->FGridLines) return QStyledItemDelegate::paint(Painter, Option, Index);
    QStyleOptionViewItem Cell = Option;
    Cell.rect.adjust(0, 0, -1, -1);
    QStyledItemDelegate::paint(Painter, Cell, Index);
    Painter->save();
    Painter->setPen(ToQColor(clBtnFace));
    const QRect& R = Option.rect;
    Painter->drawLine(R.right(), R.top(), R.right(), R.bottom());
    Painter->drawLine(R.left(), R.bottom(), R.right(), R.bottom());
    Painter->restore();
  }

private:
  TCustomListView* FView;
};

// The classic focus rectangle: every second pixel of a one-pixel frame inverted, round
// the caption, or round the row with RowSelect.
class TListHost : public TScrollAreaHost<TControlHost<QTreeWidget>> {
public:
  using TScrollAreaHost::TScrollAreaHost;

  bool Editing() const { return state() == EditingState; }

protected:
  TCustomListView* View() const { return static_cast<TCustomListView*>(Control()); }

  // A click on the caption of the focused, selected item edits it once the double-click
  // time has passed (a double click cancels that). Whether it may is known only before
  // the press has changed the selection.
  void mousePressEvent(QMouseEvent* E) override {
    TCustomListView* V = View();
    TListItem* Again = nullptr;
    if (V) {
      V->CancelPendingEdit();
      if (E->button() == Qt::LeftButton && E->modifiers() == Qt::NoModifier && !V->FClickFocused)
        Again = V->CaptionAt(E->position().toPoint());
    }
    FPressed = Again ? QPersistentModelIndex(model()->index(Again->Index(), 0)) : QPersistentModelIndex();
    TScrollAreaHost::mousePressEvent(E);
  }
  void mouseReleaseEvent(QMouseEvent* E) override {
    TScrollAreaHost::mouseReleaseEvent(E);
    const QPersistentModelIndex Pressed = std::exchange(FPressed, QPersistentModelIndex());
    TCustomListView* V = View();
    if (!V || !Pressed.isValid() || E->button() != Qt::LeftButton) return;
    TListItem* Item = V->CaptionAt(E->position().toPoint());
    if (Item && Item->Index() == Pressed.row()) V->EditAfterClick(Item);
  }
  void mouseDoubleClickEvent(QMouseEvent* E) override {
    FPressed = QPersistentModelIndex();
    if (TCustomListView* V = View()) V->CancelPendingEdit();
    TScrollAreaHost::mouseDoubleClickEvent(E);
  }
  // Only captions are edited: Tab ends the edit rather than moving on to the next cell.
  void closeEditor(QWidget* Closed, QAbstractItemDelegate::EndEditHint Hint) override {
    if (Hint == QAbstractItemDelegate::EditNextItem || Hint == QAbstractItemDelegate::EditPreviousItem)
      Hint = QAbstractItemDelegate::NoHint;
    TScrollAreaHost::closeEditor(Closed, Hint);
  }

  void drawRow(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    TScrollAreaHost::drawRow(Painter, Option, Index);
    auto* View = static_cast<TCustomListView*>(Control());
    if (!View || !hasFocus() || Index.row() != currentIndex().row()) return;
    QRect R = View->FRowSelect ? Option.rect : visualRect(Index.sibling(Index.row(), 0));
    R.setRight(std::min(R.right(), Option.rect.right()));
    Painter->save();
    Painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen Dots(Qt::white, 1, Qt::CustomDashLine);
    Dots.setDashPattern({1, 1});
    Painter->setPen(Dots);
    Painter->setBrush(Qt::NoBrush);
    Painter->drawRect(R.adjusted(0, 0, -1, -1));
    Painter->restore();
  }

  // Qt repaints only the current cell when the focus moves, but the rectangle spans the
  // row: the old and the new row are painted again whole, or the old one keeps a trace.
  void currentChanged(const QModelIndex& Current, const QModelIndex& Previous) override {
    TScrollAreaHost::currentChanged(Current, Previous);
    for (const QModelIndex& Index : {Previous, Current}) {
      if (!Index.isValid()) continue;
      const QRect Cell = visualRect(Index);
      viewport()->update(QRect(0, Cell.top(), viewport()->width(), Cell.height()));
    }
  }

private:
  QPersistentModelIndex FPressed;
};

// ---------------------------------------------------------------------------
// TCustomListView

TCustomListView::TCustomListView(TComponent* AOwner)
    : TWidgetControl(AOwner, new TListHost(this)),
      FColumns(new TListColumns(this)),
      FItems(new TListItems(this)) {
  QTreeWidget* T = Tree();
  T->setRootIsDecorated(false);
  T->setItemsExpandable(false);
  T->setUniformRowHeights(true);
  T->setSortingEnabled(false);
  T->setEditTriggers(QAbstractItemView::NoEditTriggers);
  T->setSelectionBehavior(QAbstractItemView::SelectRows);
  T->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  T->setItemDelegate(new TDelegate(this, T));
  QItemSelectionModel* Old = T->selectionModel();
  T->setSelectionModel(new TListSelectionModel(T->model(), this));
  delete Old;
  SetHeaderView(T->header());
  SetMultiSelect(false);
  SetRowSelect(false);
  ApplyColumns();
  BorderChanged();
  SetBounds(Left(), Top(), 250, 150);
}

TCustomListView::~TCustomListView() = default;

void TCustomListView::BeforeDestruction() {
  // The rows go with the widget, without notifications (an open editor's text is
  // dropped); the items after them.
  ++FQuiet;
  TWidgetControl::BeforeDestruction();
}

QTreeWidget* TCustomListView::Tree() const { return static_cast<QTreeWidget*>(Host()); }

QHeaderView* TCustomListView::HeaderView() const { return Tree()->header(); }

void TCustomListView::SetHeaderView(QHeaderView* Header) {
  QTreeWidget* T = Tree();
  if (Header != T->header()) T->setHeader(Header);
  Header->setStretchLastSection(false);
  // Columns take any width, down to none.
  Header->setMinimumSectionSize(0);
  Header->setSectionsMovable(false);
  Header->setSectionsClickable(true);
  Header->setVisible(FShowColumnHeaders);
  QObject::connect(Header, &QHeaderView::sectionClicked, T, [this](int Section) {
    RunGuarded([&] {
      if (Section < FColumns->Count()) ColClick(FColumns->Items(Section));
    }, this);
  });
  QObject::connect(Header, &QHeaderView::sectionResized, T, [this](int Section, int, int Size) {
    if (Section < FColumns->Count()) FColumns->Items(Section)->FWidth = Size;
  });
  ApplyColumns();
  ApplyLook();
}

int32_t TCustomListView::HeaderHeight() const {
  const QHeaderView* H = Tree()->header();
  return H->isVisibleTo(Tree()) ? H->sizeHint().height() : 0;
}

TRect TCustomListView::GetClientRect() const {
  // Inside the band, less the scroll bars that show.
  TRect R = TWidgetControl::GetClientRect();
  const QTreeWidget* T = Tree();
  if (T->verticalScrollBar()->isVisibleTo(T)) R.Right = std::max(0, R.Right - T->verticalScrollBar()->width());
  if (T->horizontalScrollBar()->isVisibleTo(T)) R.Bottom = std::max(0, R.Bottom - T->horizontalScrollBar()->height());
  return R;
}

void TCustomListView::BorderChanged() {
  SetFrameBand(Tree(), BorderBand());
  TWidgetControl::BorderChanged();
}

void TCustomListView::ApplyLook() {
  TWidgetControl::ApplyLook();
  QTreeWidget* T = Tree();
  QPalette Pal = T->palette();
  // Unfocused, the selection shows in clBtnFace, or not at all with HideSelection.
  Pal.setColor(QPalette::Inactive, QPalette::Highlight,
               FHideSelection ? Pal.color(QPalette::Inactive, QPalette::Base) : ToQColor(clBtnFace));
  Pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               FHideSelection ? Pal.color(QPalette::Inactive, QPalette::Text) : ToQColor(clBtnText));
  T->setPalette(Pal);
  T->header()->setFont(Font()->QtFont());
}

bool TCustomListView::HostEvent(QEvent* Event) {
  // A click that brings the focus edits nothing: the press comes right after this.
  if (Event->type() == QEvent::FocusIn && static_cast<QFocusEvent*>(Event)->reason() == Qt::MouseFocusReason) {
    FClickFocused = true;
    QMetaObject::invokeMethod(Tree(), [this] { FClickFocused = false; }, Qt::QueuedConnection);
  }
  const bool Result = TWidgetControl::HostEvent(Event);
  // The selection's look follows the focus.
  if (Event->type() == QEvent::FocusIn || Event->type() == QEvent::FocusOut) Tree()->viewport()->update();
  return Result;
}

void TCustomListView::ApplyColumns() {
  QTreeWidget* T = Tree();
  const int32_t N = FColumns->Count();
  T->setColumnCount(std::max(1, N));
  QTreeWidgetItem* Header = T->headerItem();
  static const Qt::Alignment Alignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
  for (int32_t I = 0; I < N; ++I) {
    const TListColumn* C = FColumns->Items(I);
    Header->setText(I, ToQString(C->FCaption));
    Header->setTextAlignment(I, (I == 0 ? Qt::AlignLeft : Alignments[C->FAlignment]) | Qt::AlignVCenter);
    T->header()->resizeSection(I, C->FWidth);
  }
  if (N == 0) Header->setText(0, QString());
}

void TCustomListView::SetCheckboxes(bool Value) {
  if (Value == FCheckboxes) return;
  FCheckboxes = Value;
  for (TListItem* Item : FItems->FItems) ApplyCheckState(Item);
}

void TCustomListView::ApplyCheckState(TListItem* Item) {
  ++FQuiet;
  QTreeWidgetItem* Row = Item->FRow;
  if (FCheckboxes) {
    Row->setFlags(Row->flags() | Qt::ItemIsUserCheckable);
    Row->setCheckState(0, Qt::Unchecked);
  } else {
    Row->setFlags(Row->flags() & ~Qt::ItemIsUserCheckable);
    Row->setData(0, Qt::CheckStateRole, QVariant());
  }
  --FQuiet;
}

void TCustomListView::SetShowColumnHeaders(bool Value) {
  FShowColumnHeaders = Value;
  Tree()->header()->setVisible(Value);
}

void TCustomListView::SetMultiSelect(bool Value) {
  FMultiSelect = Value;
  Tree()->setSelectionMode(Value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TCustomListView::SetRowSelect(bool Value) {
  FRowSelect = Value;
  Tree()->viewport()->update();
}

void TCustomListView::SetHideSelection(bool Value) {
  FHideSelection = Value;
  ApplyLook();
}

void TCustomListView::SetGridLines(bool Value) {
  FGridLines = Value;
  Tree()->doItemsLayout();  // the rows take the grid line's height
}

void TCustomListView::SetSortType(TSortType Value) {
  if (Value == FSortType) return;
  FSortType = Value;
  if (Value != stNone) AlphaSort();
}

TListItem* TCustomListView::ItemOf(const QTreeWidgetItem* Row) const {
  return Row ? static_cast<const TListRow*>(Row)->Item : nullptr;
}

// ---------------------------------------------------------------------------
// Editing captions

bool TCustomListView::IsEditing() const { return static_cast<const TListHost*>(Tree())->Editing(); }

TListItem* TCustomListView::CaptionAt(const QPoint& P) const {
  if (FReadOnly) return nullptr;
  QTreeWidget* T = Tree();
  TListItem* Item = ItemOf(T->itemAt(P));
  if (!Item || !Item->Selected() || !Item->Focused()) return nullptr;
  const TPoint O = ClientOffset();
  const TPoint At = FromQPoint(T->viewport()->mapTo(T, P) - QPoint(O.X, O.Y));
  if (!PtInRect(Item->DisplayRect(drSelectBounds), At) || PtInRect(Item->DisplayRect(drIcon), At)) return nullptr;
  return Item;
}

void TCustomListView::EditAfterClick(TListItem* Item) {
  if (!FEditTimer) {
    FEditTimer = new TTimer(this);
    FEditTimer->OnTimer = [this](TComponent*) {
      FEditTimer->SetEnabled(false);
      TListItem* Pending = std::exchange(FEditPending, nullptr);
      if (Pending && Pending->Focused()) BeginEdit(Pending, true);
    };
  }
  FEditPending = Item;
  FEditTimer->SetEnabled(false);
  FEditTimer->SetInterval(static_cast<uint32_t>(QApplication::doubleClickInterval()));
  FEditTimer->SetEnabled(true);
}

void TCustomListView::CancelPendingEdit() {
  FEditPending = nullptr;
  if (FEditTimer) FEditTimer->SetEnabled(false);
}

bool TCustomListView::BeginEdit(TListItem* Item, bool ByMouse) {
  CancelPendingEdit();
  if (FReadOnly || IsEditing()) return false;
  FEditByMouse = ByMouse;
  const bool Allowed = CanEdit(Item);
  FEditByMouse = false;
  // The handler may have deleted the item, or edited one itself.
  if (!Allowed || FItems->IndexOf(Item) < 0 || IsEditing()) return false;
  QTreeWidget* T = Tree();
  T->scrollToItem(Item->FRow);
  T->editItem(Item->FRow, 0);
  return IsEditing();
}

bool TCustomListView::CanEdit(TListItem* Item) {
  bool Allow = true;
  if (OnEditing) OnEditing(this, Item, Allow);
  return Allow;
}

void TCustomListView::Edit(TListItem* Item, const std::string& Text) {
  std::string S = Text;
  if (OnEdited) OnEdited(this, Item, S);
  if (FItems->IndexOf(Item) >= 0) Item->SetCaption(S);
}

void TCustomListView::KeyDown(uint16_t& Key, TShiftState Shift) {
  TWidgetControl::KeyDown(Key, Shift);
  if (Key == VK_F2 && Shift == 0 && !FReadOnly && ItemFocused() && ItemFocused()->EditCaption()) Key = 0;
}

// ---------------------------------------------------------------------------
// Selection and focus

namespace {

// The focus and selection bits of every row that has one.
std::map<int, uint32_t> SelectionStates(const QItemSelectionModel* M) {
  std::map<int, uint32_t> States;
  for (const QModelIndex& I : M->selectedRows()) States[I.row()] |= LVIS_SELECTED;
  if (M->currentIndex().isValid()) States[M->currentIndex().row()] |= LVIS_FOCUSED;
  return States;
}

uint32_t StateOf(const std::map<int, uint32_t>& States, int Row) {
  const auto It = States.find(Row);
  return It == States.end() ? 0 : It->second;
}

}  // namespace

void TCustomListView::ChangeSelection(const std::function<void()>& Apply) {
  if (FQuiet > 0) return Apply();
  auto* M = static_cast<TListSelectionModel*>(Tree()->selectionModel());
  const std::map<int, uint32_t> Before = SelectionStates(M);
  const int OldCurrent = M->currentIndex().row();
  ++FQuiet;  // nested calls (setCurrentIndex selects) are part of this change
  Apply();
  const std::map<int, uint32_t> After = SelectionStates(M);
  // Rows that lose a state first, then those that gain one, each in row order.
  std::vector<int> Rows;
  for (const auto& [Row, State] : Before)
    if (StateOf(After, Row) != State) Rows.push_back(Row);
  for (const auto& [Row, State] : After)
    if (StateOf(Before, Row) != State && !Before.count(Row)) Rows.push_back(Row);
  --FQuiet;
  std::vector<int> Accepted;
  for (int Row : Rows) {
    if (Row >= FItems->Count()) continue;
    const uint32_t Old = StateOf(Before, Row), New = StateOf(After, Row);
    bool Allowed = true;
    RunGuarded([&] { Allowed = ItemStateChanging(FItems->Item(Row), New, Old); }, this);
    if (Allowed) {
      Accepted.push_back(Row);
      continue;
    }
    // Refused: the row gets its old state back.
    ++FQuiet;
    const QModelIndex Index = Tree()->model()->index(Row, 0);
    if ((Old ^ New) & LVIS_SELECTED)
      M->QItemSelectionModel::select(Index, ((Old & LVIS_SELECTED) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                                QItemSelectionModel::Rows);
    if ((Old ^ New) & LVIS_FOCUSED)
      M->QItemSelectionModel::setCurrentIndex((Old & LVIS_FOCUSED) ? Index : Tree()->model()->index(OldCurrent, 0),
                                              QItemSelectionModel::NoUpdate);
    --FQuiet;
  }
  // Handlers run inside Qt's selection code: their exceptions stop here.
  for (int Row : Accepted)
    if (Row < FItems->Count())
      RunGuarded([&] { ItemStateChanged(FItems->Item(Row), StateOf(After, Row), StateOf(Before, Row)); }, this);
}

bool TCustomListView::CheckChanging(TListItem* Item, bool NewChecked) {
  if (FChecksLocked) return false;
  return ItemStateChanging(Item, NewChecked ? LVIS_CHECKED : LVIS_UNCHECKED, NewChecked ? LVIS_UNCHECKED : LVIS_CHECKED);
}

bool TCustomListView::ItemStateChanging(TListItem* Item, uint32_t NewState, uint32_t OldState) {
  (void)NewState;
  (void)OldState;
  return CanChange(Item, ctState);
}

void TCustomListView::ItemStateChanged(TListItem* Item, uint32_t NewState, uint32_t OldState) {
  Change(Item, ctState);
  if ((NewState ^ OldState) & LVIS_SELECTED) DoSelectItem(Item, (NewState & LVIS_SELECTED) != 0);
}

bool TCustomListView::CanChange(TListItem* Item, TItemChange Change) {
  bool Allow = true;
  if (OnChanging) OnChanging(this, Item, Change, Allow);
  return Allow;
}

void TCustomListView::Change(TListItem* Item, TItemChange Change) {
  if (OnChange) OnChange(this, Item, Change);
}

void TCustomListView::DoSelectItem(TListItem* Item, bool Selected) {
  if (OnSelectItem) OnSelectItem(this, Item, Selected);
}

void TCustomListView::InsertItem(TListItem* Item) {
  if (OnInsert) OnInsert(this, Item);
}

void TCustomListView::Delete(TListItem* Item) {
  if (OnDeletion) OnDeletion(this, Item);
}

void TCustomListView::ColClick(TListColumn* Column) {
  if (OnColumnClick) OnColumnClick(this, Column);
}

int32_t TCustomListView::ItemIndex() const {
  int32_t First = -1;
  for (const QModelIndex& I : Tree()->selectionModel()->selectedRows())
    if (First < 0 || I.row() < First) First = I.row();
  return First;
}

void TCustomListView::SetItemIndex(int32_t Value) {
  if (Value < 0 || Value >= FItems->Count())
    ClearSelection();
  else
    FItems->Item(Value)->SetSelected(true);
}

TListItem* TCustomListView::Selected() const {
  const int32_t I = ItemIndex();
  return I < 0 ? nullptr : FItems->Item(I);
}

void TCustomListView::SetSelected(TListItem* Value) {
  if (!Value) return ClearSelection();
  const QModelIndex Index = Tree()->model()->index(Value->Index(), 0);
  Tree()->selectionModel()->select(Index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

TListItem* TCustomListView::ItemFocused() const { return ItemOf(Tree()->currentItem()); }

void TCustomListView::SetItemFocused(TListItem* Value) {
  if (Value)
    Value->SetFocused(true);
  else
    Tree()->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

int32_t TCustomListView::SelCount() const { return static_cast<int32_t>(Tree()->selectionModel()->selectedRows().size()); }

void TCustomListView::SelectAll() {
  if (FItems->Count() == 0) return;
  const QAbstractItemModel* Model = Tree()->model();
  const QItemSelection All(Model->index(0, 0), Model->index(FItems->Count() - 1, 0));
  Tree()->selectionModel()->select(All, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TCustomListView::ClearSelection() { Tree()->selectionModel()->select(QItemSelection(), QItemSelectionModel::Clear); }

// ---------------------------------------------------------------------------
// Geometry and scrolling

TListItem* TCustomListView::GetItemAt(int32_t X, int32_t Y) const {
  QTreeWidget* T = Tree();
  const TPoint O = ClientOffset();
  return ItemOf(T->itemAt(T->viewport()->mapFrom(T, QPoint(X + O.X, Y + O.Y))));
}

TListItem* TCustomListView::TopItem() const { return ItemOf(Tree()->itemAt(QPoint(1, 1))); }

namespace {
int RowHeight(QTreeWidget* T) {
  if (T->topLevelItemCount() > 0) return std::max(1, T->visualItemRect(T->topLevelItem(0)).height());
  return std::max(1, T->fontMetrics().height());
}
}  // namespace

int32_t TCustomListView::VisibleRowCount() const { return Tree()->viewport()->height() / RowHeight(Tree()); }

void TCustomListView::Scroll(int32_t DX, int32_t DY) {
  QTreeWidget* T = Tree();
  T->horizontalScrollBar()->setValue(T->horizontalScrollBar()->value() + DX);
  T->verticalScrollBar()->setValue(T->verticalScrollBar()->value() + DY / RowHeight(T));
}

// ---------------------------------------------------------------------------
// Sorting

void TCustomListView::SortIfAsked(TSortType When) {
  if (FSortType == stBoth || (FSortType == When && When != stNone)) AlphaSort();
}

bool TCustomListView::AlphaSort() { return CustomSort(nullptr); }

bool TCustomListView::CustomSort(const TLVCompare& Compare) {
  const TLVCompare ByDefault = [this](TListItem* A, TListItem* B) {
    int32_t Result = 0;
    if (OnCompare)
      OnCompare(this, A, B, 0, Result);
    else
      Result = ToQString(A->Caption()).compare(ToQString(B->Caption()), Qt::CaseInsensitive);
    return Result;
  };
  FSorting = Compare ? &Compare : &ByDefault;
  struct TDone {
    const TLVCompare*& Sorting;
    ~TDone() { Sorting = nullptr; }
  } Done{FSorting};
  QTreeWidget* T = Tree();
  T->sortItems(0, Qt::AscendingOrder);
  // The items follow their rows.
  for (int32_t I = 0; I < T->topLevelItemCount(); ++I) FItems->FItems[static_cast<size_t>(I)] = ItemOf(T->topLevelItem(I));
  return true;
}

// ---------------------------------------------------------------------------
// TListItem


TListItems* TListItem::Owner() const { return FListView->Items(); }

int32_t TListItem::Index() const { return FListView->Items()->IndexOf(this); }

void TListItem::SetCaption(const std::string& Value) {
  if (Value == FCaption || !FListView->CanChange(this, ctText)) return;
  FCaption = Value;
  FRow->setText(0, ToQString(Value));
  FListView->Change(this, ctText);
  FListView->SortIfAsked(stText);
}

void TListItem::SetData(void* Value) {
  if (Value == FData) return;
  FData = Value;
  FListView->SortIfAsked(stData);
}

bool TListItem::Checked() const { return FListView->FCheckboxes && FRow->checkState(0) == Qt::Checked; }

void TListItem::SetChecked(bool Value) {
  if (FListView->FCheckboxes) FRow->setCheckState(0, Value ? Qt::Checked : Qt::Unchecked);
}

// The view's own selection model decides: QTreeWidgetItem's flag follows only the
// model the tree was made with, not the list's.
bool TListItem::Selected() const {
  QTreeWidget* T = FListView->Tree();
  return T->selectionModel()->isRowSelected(Index(), QModelIndex());
}

void TListItem::SetSelected(bool Value) {
  QTreeWidget* T = FListView->Tree();
  QItemSelectionModel::SelectionFlags Command = QItemSelectionModel::Deselect;
  if (Value) Command = FListView->FMultiSelect ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect;
  T->selectionModel()->select(T->model()->index(Index(), 0), Command | QItemSelectionModel::Rows);
}

bool TListItem::Focused() const { return FListView->Tree()->currentItem() == FRow; }

void TListItem::SetFocused(bool Value) {
  QTreeWidget* T = FListView->Tree();
  if (Value)
    T->selectionModel()->setCurrentIndex(T->model()->index(Index(), 0), QItemSelectionModel::NoUpdate);
  else if (Focused())
    T->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

uint32_t TListItem::States() const {
  uint32_t S = (Focused() ? LVIS_FOCUSED : 0u) | (Selected() ? LVIS_SELECTED : 0u);
  if (FListView->FCheckboxes) S |= Checked() ? LVIS_CHECKED : LVIS_UNCHECKED;
  return S;
}

void TListItem::MakeVisible(bool PartialOK) {
  QTreeWidget* T = FListView->Tree();
  const QRect R = T->visualItemRect(FRow);
  if (PartialOK && R.intersects(T->viewport()->rect())) return;
  T->scrollToItem(FRow, QAbstractItemView::EnsureVisible);
}

TRect TListItem::DisplayRect(TDisplayCode Code) const {
  QTreeWidget* T = FListView->Tree();
  QRect R = T->visualItemRect(FRow);
  if (!R.intersects(T->viewport()->rect())) return {};
  const QRect First = T->visualRect(T->model()->index(Index(), 0));
  // The check box (the "icon" of a report row) leads the first column.
  const int Check = FListView->FCheckboxes ? T->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4 : 0;
  switch (Code) {
    case drIcon: R = QRect(First.left(), First.top(), Check, First.height()); break;
    case drLabel: R = First.adjusted(Check, 0, 0, 0); break;
    case drSelectBounds: R = FListView->FRowSelect ? R : First.adjusted(Check, 0, 0, 0); break;
    default: break;
  }
  // From the viewport to client coordinates.
  const TPoint O = FListView->ClientOffset();
  R.translate(T->viewport()->mapTo(T, QPoint(0, 0)) - QPoint(O.X, O.Y));
  return FromQRect(R);
}

void TListItem::Delete() { FListView->Items()->Delete(Index()); }

bool TListItem::EditCaption() { return FListView->BeginEdit(this, false); }

// Sub-items: kept by the item and shown in the columns after the first.
class TListItem::TSubItems : public TStringVector {
public:
  explicit TSubItems(TListItem* Item) : FItem(Item) {}

protected:
  // Shows the texts from From on (they moved), and empties the columns left over.
  void Changed(int32_t From, int32_t OldCount) override {
    for (int32_t I = From; I < std::max(Count(), OldCount); ++I)
      FItem->FRow->setText(I + 1, I < Count() ? ToQString(Strings(I)) : QString());
  }

private:
  TListItem* FItem;
};

TListItem::TListItem(TCustomListView* AListView)
    : FListView(AListView), FRow(new TListRow(this)), FSubItems(std::make_unique<TSubItems>(this)) {
  // Editable for the editor the list opens itself (BeginEdit); Qt opens none.
  FRow->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
}

TListItem::~TListItem() = default;

// ---------------------------------------------------------------------------
// TListItems

TListItems::~TListItems() {
  // The rows went with the widget.
  for (TListItem* Item : FItems) delete Item;
}

TListItem* TListItems::Item(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)];
}

int32_t TListItems::IndexOf(const TListItem* Item) const {
  const auto It = std::find(FItems.begin(), FItems.end(), Item);
  return It == FItems.end() ? -1 : static_cast<int32_t>(It - FItems.begin());
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int32_t Index) {
  if (Index < 0 || Index > Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  auto* Item = new TListItem(FListView);
  FListView->ApplyCheckState(Item);
  ++FListView->FQuiet;
  FListView->Tree()->insertTopLevelItem(Index, Item->FRow);
  --FListView->FQuiet;
  FItems.insert(FItems.begin() + Index, Item);
  if (!FListView->Destroying()) FListView->InsertItem(Item);
  return Item;
}

void TListItems::Delete(int32_t Index) {
  TListItem* Item = this->Item(Index);
  if (!FListView->Destroying()) FListView->Delete(Item);
  // The handler may have deleted items itself.
  const int32_t Now = IndexOf(Item);
  if (Now < 0) return;
  FItems.erase(FItems.begin() + Now);
  if (Item == FListView->FEditPending) FListView->CancelPendingEdit();
  ++FListView->FQuiet;
  delete Item->FRow;
  --FListView->FQuiet;
  delete Item;
}

void TListItems::Clear() {
  // Every item is told first, then the rows go at once.
  if (!FListView->Destroying())
    for (TListItem* Item : std::vector<TListItem*>(FItems))
      if (IndexOf(Item) >= 0) FListView->Delete(Item);
  std::vector<TListItem*> Gone;
  Gone.swap(FItems);
  FListView->CancelPendingEdit();
  ++FListView->FQuiet;
  FListView->Tree()->clear();
  --FListView->FQuiet;
  for (TListItem* Item : Gone) delete Item;
}

void TListItems::BeginUpdate() {
  if (FUpdateCount++ == 0) FListView->Tree()->setUpdatesEnabled(false);
}

void TListItems::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) FListView->Tree()->setUpdatesEnabled(true);
}

// ---------------------------------------------------------------------------
// Columns

int32_t TListColumn::Index() const {
  const auto& Columns = FListView->Columns()->FColumns;
  for (size_t I = 0; I < Columns.size(); ++I)
    if (Columns[I].get() == this) return static_cast<int32_t>(I);
  return -1;
}

void TListColumn::SetCaption(const std::string& Value) {
  FCaption = Value;
  FListView->ApplyColumns();
}

int32_t TListColumn::Width() const { return FWidth; }

void TListColumn::SetWidth(int32_t Value) {
  FWidth = std::max(0, Value);
  FListView->ApplyColumns();
}

void TListColumn::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  FListView->ApplyColumns();
  FListView->Tree()->viewport()->update();
}

TListColumn* TListColumns::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FColumns[static_cast<size_t>(Index)].get();
}

TListColumn* TListColumns::Add() {
  FColumns.push_back(std::unique_ptr<TListColumn>(new TListColumn(FListView)));
  FListView->ApplyColumns();
  return FColumns.back().get();
}

void TListColumns::Delete(int32_t Index) {
  Items(Index);
  FColumns.erase(FColumns.begin() + Index);
  FListView->ApplyColumns();
}

void TListColumns::Clear() {
  FColumns.clear();
  FListView->ApplyColumns();
}
