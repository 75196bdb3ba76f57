#include "platform/gui/ComboBox.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <utility>

#include "platform/gui/QtSupport.h"
#include "platform/gui/WidgetHost.h"

// ---------------------------------------------------------------------------
// The host

class TComboHost : public TControlHost<QComboBox> {
public:
  using TControlHost::TControlHost;

  TCustomComboBox* Box() const { return static_cast<TCustomComboBox*>(Control()); }
  // csSimple: the list always shown below the edit part.
  QListView* SimpleList = nullptr;
  // Enter in the edit part: Qt's activation for it is no choice of the user's.
  bool InReturn = false;
  // The item selected when the list opened (-2 after the choice): choosing it again
  // changes nothing, so it raises nothing.
  int IndexAtOpen = -2;

  // The dropped list, set up for the control the first time it is asked for. (Qt may
  // have made it already, for a key typed into the closed box.)
  QAbstractItemView* List() {
    QAbstractItemView* V = view();
    if (!std::exchange(ListReady, true)) {
      V->installEventFilter(this);
      if (TCustomComboBox* C = Box()) C->SetUpList(V);
    }
    return V;
  }
  bool ListReady = false;
  bool ListOpen() const { return ListReady && view()->isVisible(); }

  void showPopup() override {
    TCustomComboBox* C = Box();
    if (C && C->FStyle == csSimple) return;
    if (C) RunGuarded([C] { C->DropDown(); }, C);
    IndexAtOpen = currentIndex();
    FitPopupWidth();
    QComboBox::showPopup();
  }
  void hidePopup() override {
    const bool Open = ListOpen();
    QComboBox::hidePopup();
    TCustomComboBox* C = Box();
    if (!C || !Open) return;
    // The press that opened the list took the capture; its release went to the list.
    if (C->MouseCapture()) C->SetMouseCapture(false);
    RunGuarded([C] { C->CloseUp(); }, C);
  }
  // The edit part's own context menu; the edit part's mouse reaches the control too.
  // Characters typed into the dropped list go to the control, as with the list closed.
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    TCustomComboBox* C = Box();
    if (C && ListReady && Watched == view()) {
      const bool Key = Event->type() == QEvent::KeyPress || Event->type() == QEvent::KeyRelease;
      return Key && C->Enabled() && TypedIntoList(static_cast<QKeyEvent*>(Event));
    }
    if (!C || Watched != lineEdit()) return QComboBox::eventFilter(Watched, Event);
    switch (Event->type()) {
      case QEvent::ContextMenu: {
        auto* E = static_cast<QContextMenuEvent*>(Event);
        if (E->reason() == QContextMenuEvent::Mouse)
          RunGuarded([&] { ShowContextMenu(FromQPoint(E->globalPos())); }, C);
        return true;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: {
        auto* E = static_cast<QMouseEvent*>(Event);
        QMouseEvent Mapped(E->type(), QPointF(lineEdit()->mapTo(this, E->position().toPoint())), E->scenePosition(),
                           E->globalPosition(), E->button(), E->buttons(), E->modifiers(), E->pointingDevice());
        RunGuarded([&] { C->EditPartMouse(&Mapped); }, C);
        return false;
      }
      default:
        return QComboBox::eventFilter(Watched, Event);
    }
  }

protected:
  void contextMenuEvent(QContextMenuEvent* E) override {
    // Qt would show the edit part's menu itself; ours goes through the control. Without
    // an edit part the request goes on to the parent.
    TCustomComboBox* C = Box();
    if (!C || !lineEdit()) return E->ignore();
    RunGuarded([&] { C->ShowEditMenu(FromQPoint(E->globalPos())); }, C);
    E->accept();
  }
  void keyPressEvent(QKeyEvent* E) override {
    InReturn = E->key() == Qt::Key_Return || E->key() == Qt::Key_Enter;
    QComboBox::keyPressEvent(E);
    InReturn = false;
  }
  void changeEvent(QEvent* E) override {
    // Qt would make the dropped list to give it the new font; it takes the font when it
    // is set up.
    if (E->type() == QEvent::FontChange && !ListReady && !lineEdit()) return QWidget::changeEvent(E);
    QComboBox::changeEvent(E);
  }
  void paintEvent(QPaintEvent* E) override {
    TCustomComboBox* C = Box();
    if (!C || lineEdit()) return QComboBox::paintEvent(E);
    QStylePainter P(this);
    if (C->FStyle == csSimple) {
      P.fillRect(rect(), palette().base());
      return;
    }
    QStyleOptionComboBox Opt;
    initStyleOption(&Opt);
    // The classic box: the field in the control's colour beside a drop button in the
    // button face (the style would give a list without an edit part a button's face).
    QStyleOptionComboBox Face = Opt;
    Face.palette.setBrush(QPalette::Button, Opt.palette.base());
    Face.subControls = QStyle::SC_ComboBoxFrame | QStyle::SC_ComboBoxEditField;
    Face.currentText.clear();
    P.drawComplexControl(QStyle::CC_ComboBox, Face);
    Opt.subControls = QStyle::SC_ComboBoxArrow;
    P.drawComplexControl(QStyle::CC_ComboBox, Opt);
    // A focused drop-down list shows its item in the selection colours with the focus
    // rectangle, as the owner-drawn styles do: Qt's own focus frame would lie under the
    // frame the widgets paint round the box, leaving the focus unseen.
    const bool FocusedList = C->FStyle == csDropDownList && hasFocus();
    if (!C->OwnerDraw() && !FocusedList) return P.drawControl(QStyle::CE_ComboBoxLabel, Opt);
    // The item is drawn in a rectangle of its own height in the middle of the field, as
    // the edit field of an owner-drawn combo box is as tall as an item.
    QRect Field = style()->subControlRect(QStyle::CC_ComboBox, &Opt, QStyle::SC_ComboBoxEditField, this);
    if (const int Item = C->ItemHeight(); Item > 0 && Item < Field.height())
      Field = QRect(Field.left(), Field.top() + (Field.height() - Item) / 2, Field.width(), Item);
    const TOwnerDrawState State = odComboBoxEdit | (hasFocus() ? odSelected | odFocused : 0) | (isEnabled() ? 0 : odDisabled);
    RunGuarded([&] { C->PaintItem(P, currentIndex(), Field, State); }, C);
  }
  void resizeEvent(QResizeEvent* E) override {
    QComboBox::resizeEvent(E);
    LayOutSimple();
  }
  void showEvent(QShowEvent* E) override {
    QComboBox::showEvent(E);
    LayOutSimple();
  }

public:
  void LayOutSimple() {
    TCustomComboBox* C = Box();
    if (!C || !SimpleList || !lineEdit()) return;
    const int EditHeight = std::min(height(), C->FaceHeight());
    lineEdit()->setGeometry(2, 2, width() - 4, EditHeight - 4);
    SimpleList->setGeometry(0, EditHeight, width(), std::max(0, height() - EditHeight));
  }

private:
  // The dropped list is as wide as the box, as DroppedWidth, and as its widest item
  // with a scroll bar beside it when not every item shows.
  void FitPopupWidth() {
    QAbstractItemView* V = List();
    const TCustomComboBox* C = Box();
    int Width = V->sizeHintForColumn(modelColumn()) + 2 * V->frameWidth();
    if (count() > maxVisibleItems()) Width += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, V);
    V->setMinimumWidth(std::max(C ? C->FDroppedWidth : 0, Width));
  }

  // A character or Backspace typed while the list is dropped: the control's key
  // handling (its search, its events) runs on it, and the list shows what was chosen.
  bool TypedIntoList(QKeyEvent* E) {
    if (E->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const bool Typed = E->key() == Qt::Key_Backspace || (!E->text().isEmpty() && E->text().at(0).isPrint());
    if (!Typed) return false;
    QKeyEvent Copy(E->type(), E->key(), E->modifiers(), E->text(), E->isAutoRepeat());
    QCoreApplication::sendEvent(this, &Copy);
    if (currentIndex() >= 0) {
      view()->setCurrentIndex(model()->index(currentIndex(), modelColumn(), rootModelIndex()));
      view()->scrollTo(view()->currentIndex());
    }
    // Choosing it again with Enter or a click changes nothing.
    IndexAtOpen = currentIndex();
    return true;
  }
  void ShowContextMenu(const TPoint& Pos) {
    if (!Box()->Perform(WM_CONTEXTMENU, Pos.X, Pos.Y)) Box()->ShowEditMenu(Pos);
  }
};

// ---------------------------------------------------------------------------
// Items

class TCustomComboBox::TComboStrings : public TStrings {
public:
  explicit TComboStrings(TCustomComboBox* Box) : FBox(Box) {}
  int32_t Count() const override { return FBox->Combo()->count(); }
  std::string Strings(int32_t Index) const override {
    CheckIndex(Index, Count());
    return FromQString(FBox->Combo()->itemText(Index));
  }
  void SetString(int32_t Index, const std::string& S) override {
    CheckIndex(Index, Count());
    FBox->Combo()->setItemText(Index, ToQString(S));
  }
  void Insert(int32_t Index, const std::string& S) override {
    CheckIndex(Index, Count() + 1);
    QComboBox* C = FBox->Combo();
    const int Old = C->currentIndex();
    const QString Text = C->currentText();
    C->insertItem(Index, ToQString(S));
    // Qt selects the first item put into an empty box; the class library selects none.
    if (Old == -1 && C->currentIndex() != -1) Unselect(Text);
  }
  void Delete(int32_t Index) override {
    CheckIndex(Index, Count());
    QComboBox* C = FBox->Combo();
    const int Old = C->currentIndex();
    const QString Text = C->currentText();
    void* Object = Objects(Index);
    C->removeItem(Index);
    // Deleting the selected item leaves none selected (and an edit part's text as it was).
    if (Index == Old) Unselect(Text);
    FBox->ReportDeleted({Object});
  }
  void Clear() override {
    QComboBox* C = FBox->Combo();
    const std::vector<void*> Gone = AllObjects();
    C->clear();
    if (QLineEdit* E = FBox->EditPart()) E->clear();
    FBox->ReportDeleted(Gone);
  }
  std::vector<void*> AllObjects() const {
    std::vector<void*> Result;
    for (int32_t I = 0, N = Count(); I < N; ++I) Result.push_back(Objects(I));
    return Result;
  }
  void* Objects(int32_t Index) const override {
    CheckIndex(Index, Count());
    return reinterpret_cast<void*>(FBox->Combo()->itemData(Index).value<quintptr>());
  }
  void SetObject(int32_t Index, void* Object) override {
    CheckIndex(Index, Count());
    FBox->Combo()->setItemData(Index, QVariant::fromValue(reinterpret_cast<quintptr>(Object)));
  }

private:
  void Unselect(const QString& Text) {
    QComboBox* C = FBox->Combo();
    C->setCurrentIndex(-1);
    if (QLineEdit* E = FBox->EditPart()) E->setText(Text);
  }
  TCustomComboBox* FBox;
};

// Owner-drawn items in the list.
class TCustomComboBox::TItemDelegate : public QAbstractItemDelegate {
public:
  TItemDelegate(TCustomComboBox* Box, QObject* Parent) : QAbstractItemDelegate(Parent), FBox(Box) {}
  void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    TOwnerDrawState State = 0;
    if (Option.state & QStyle::State_Selected) State |= odSelected;
    if (Option.state & QStyle::State_HasFocus) State |= odFocused;
    if (!(Option.state & QStyle::State_Enabled)) State |= odDisabled;
    RunGuarded([&] { FBox->PaintItem(*Painter, Index.row(), Option.rect, State); }, FBox);
  }
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    int32_t Height = FBox->FItemHeight;
    RunGuarded([&] { Height = FBox->MeasuredHeight(Index.row()); }, FBox);
    return QSize(Option.rect.width(), Height);
  }

private:
  TCustomComboBox* FBox;
};

// ---------------------------------------------------------------------------
// TCustomComboBox

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWidgetControl(AOwner, new TComboHost(this)),
      FItems(std::make_unique<TComboStrings>(this)),
      FCanvas(std::make_unique<TCanvas>()) {
  SetControlStyle(csCaptureMouse | csSetCaption | csDoubleClicks);
  SetBorderStyle(bsNone);
  QComboBox* C = Combo();
  C->setInsertPolicy(QComboBox::NoInsert);
  C->setMaxVisibleItems(FDropDownCount);
  QObject::connect(C, &QComboBox::activated, [this](int Index) {
    auto* Host = static_cast<TComboHost*>(Combo());
    const bool Again = std::exchange(Host->IndexAtOpen, -2) == Index;
    if (!Host->InReturn && !Again) RunGuarded([&] { UserSelected(Index); }, this);
  });
  FOwnerDelegate = new TItemDelegate(this, C);
  FEditPartDue = Loading() && ItemsEditable();
  ApplyStyle(ItemsEditable() && !FEditPartDue);
  SetBounds(Left(), Top(), 145, FaceHeight());
}

TCustomComboBox::~TCustomComboBox() = default;

void TCustomComboBox::BeforeDestruction() {
  // The items go with the control; their owners hear of it while it is still whole.
  if (!Destroying()) ReportDeleted(static_cast<TComboStrings*>(FItems.get())->AllObjects());
  TWidgetControl::BeforeDestruction();
}

void TCustomComboBox::ReportDeleted(const std::vector<void*>& Objects) {
  for (void* Object : Objects)
    if (Object) RunGuarded([&] { ItemDeleted(Object); }, this);
}

QComboBox* TCustomComboBox::Combo() const { return static_cast<QComboBox*>(Host()); }

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  FEditPartDue = Loading() && ItemsEditable();
  ApplyStyle(ItemsEditable() && !FEditPartDue);
}

void TCustomComboBox::Loaded() {
  TWidgetControl::Loaded();
  EditPart();
}

QLineEdit* TCustomComboBox::EditPart() const {
  if (FEditPartDue) {
    auto* Self = const_cast<TCustomComboBox*>(this);
    Self->FEditPartDue = false;
    Self->ApplyStyle(true);
  }
  return Combo()->lineEdit();
}

void TCustomComboBox::ApplyStyle(bool Editable) {
  auto* C = static_cast<TComboHost*>(Combo());
  const int Index = C->currentIndex();
  const QString Text = C->lineEdit() ? C->lineEdit()->text() : C->currentText();
  if (C->isEditable() != Editable) {
    C->setEditable(Editable);
    if (QLineEdit* E = C->lineEdit()) {
      E->installEventFilter(C);
      QObject::connect(E, &QLineEdit::textEdited, [this] { RunGuarded([this] { Change(); }, this); });
    }
  }
  C->setCurrentIndex(Index);
  if (QLineEdit* E = C->lineEdit()) E->setText(Text);
  if (C->ListReady) SetUpList(C->view());
  // csSimple: the list below the edit part.
  if (FStyle == csSimple && !C->SimpleList) {
    C->SimpleList = new QListView(C);
    C->SimpleList->setModel(C->model());
    C->SimpleList->setFocusPolicy(Qt::NoFocus);
    C->SimpleList->show();
    QObject::connect(C->SimpleList, &QListView::clicked, [this](const QModelIndex& I) {
      if (I.row() == Combo()->currentIndex()) return;
      RunGuarded([&] {
        Combo()->setCurrentIndex(I.row());
        UserSelected(I.row());
      }, this);
    });
    QObject::connect(C, &QComboBox::currentIndexChanged, C->SimpleList, [C](int I) {
      if (C->SimpleList) C->SimpleList->setCurrentIndex(C->model()->index(I, 0));
    });
  } else if (FStyle != csSimple && C->SimpleList) {
    delete C->SimpleList;
    C->SimpleList = nullptr;
  }
  ApplyEditOptions();
  ApplyLook();
  SetBounds(Left(), Top(), Width(), Height());
  C->LayOutSimple();
  C->update();
}

void TCustomComboBox::SetUpList(QAbstractItemView* List) {
  // Owner-drawn items, or Qt's own.
  if (!FQtDelegate) FQtDelegate = List->itemDelegate();
  static_cast<QListView*>(List)->setUniformItemSizes(FStyle != csOwnerDrawVariable);
  List->setItemDelegate(OwnerDraw() ? static_cast<QAbstractItemDelegate*>(FOwnerDelegate) : FQtDelegate);
  List->setMinimumWidth(FDroppedWidth);
  ApplyLookTo(List);
}

void TCustomComboBox::ApplyEditOptions() {
  QLineEdit* E = Combo()->lineEdit();
  if (!E) return;
  E->setMaxLength(FMaxLength > 0 ? FMaxLength : std::numeric_limits<int>::max());
  if (!FAutoComplete)
    Combo()->setCompleter(nullptr);
  else if (!Combo()->completer()) {
    auto* Completer = new QCompleter(Combo()->model(), Combo());
    Completer->setCaseSensitivity(Qt::CaseInsensitive);
    Completer->setCompletionMode(QCompleter::InlineCompletion);
    Combo()->setCompleter(Completer);
  }
}

int32_t TCustomComboBox::FaceHeight() const { return QFontMetrics(Font()->QtFont()).height() + 8; }

void TCustomComboBox::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (FStyle != csSimple) AHeight = FaceHeight();
  TWidgetControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomComboBox::ApplyLook() {
  // The closed box shows the control's colour (Base) beside a drop button in clBtnFace.
  TWidgetControl::ApplyLook();
  auto* C = static_cast<TComboHost*>(Combo());
  if (C->ListReady) ApplyLookTo(C->view());
  if (C->lineEdit()) ApplyLookTo(C->lineEdit());
  if (C->SimpleList) ApplyLookTo(C->SimpleList);
  if (!Loading() && FStyle != csSimple && Height() != FaceHeight()) SetBounds(Left(), Top(), Width(), Height());
}

int32_t TCustomComboBox::ItemIndex() const { return Combo()->currentIndex(); }

void TCustomComboBox::SetItemIndex(int32_t Value) {
  if (Value < 0 || Value >= FItems->Count()) Value = -1;
  Combo()->setCurrentIndex(Value);
  if (QLineEdit* E = EditPart(); Value == -1 && E) E->clear();
}

std::string TCustomComboBox::GetText() const {
  const QComboBox* C = Combo();
  const QLineEdit* E = EditPart();
  return FromQString(E ? E->text() : C->currentText());
}

void TCustomComboBox::DoSetText(const std::string& Value) {
  if (Value == GetText()) return;
  if (QLineEdit* E = EditPart()) {
    E->setText(ToQString(Value));
    RunGuarded([this] { Change(); }, this);
  } else if (const int32_t Index = FindStringExact(Value); Index >= 0) {
    Combo()->setCurrentIndex(Index);
  } else {
    return;
  }
  Perform(CM_TEXTCHANGED);
}

void TCustomComboBox::SetDropDownCount(int32_t Value) {
  FDropDownCount = std::max(1, Value);
  Combo()->setMaxVisibleItems(FDropDownCount);
}

void TCustomComboBox::SetDroppedWidth(int32_t Value) {
  FDroppedWidth = std::max(0, Value);
  if (auto* C = static_cast<TComboHost*>(Combo()); C->ListReady) C->view()->setMinimumWidth(FDroppedWidth);
}

bool TCustomComboBox::DroppedDown() const { return static_cast<TComboHost*>(Combo())->ListOpen(); }

void TCustomComboBox::SetDroppedDown(bool Value) {
  if (Value == DroppedDown()) return;
  if (Value)
    Combo()->showPopup();
  else
    Combo()->hidePopup();
}

int32_t TCustomComboBox::ItemHeight() const {
  return OwnerDraw() ? FItemHeight : QFontMetrics(Font()->QtFont()).height();
}

void TCustomComboBox::SetItemHeight(int32_t Value) {
  if (Value <= 0 || Value == FItemHeight) return;
  FItemHeight = Value;
  if (auto* C = static_cast<TComboHost*>(Combo()); OwnerDraw() && C->ListReady) C->view()->doItemsLayout();
}

void TCustomComboBox::SetMaxLength(int32_t Value) {
  FMaxLength = std::max(0, Value);
  ApplyEditOptions();
}

void TCustomComboBox::SetAutoComplete(bool Value) {
  FAutoComplete = Value;
  ApplyEditOptions();
}

namespace {
int32_t Search(const TStrings& Items, const std::string& S, int32_t StartAfter, bool Exact) {
  const QString Wanted = ToQString(S);
  const int32_t N = Items.Count();
  if (StartAfter < -1 || StartAfter >= N) StartAfter = -1;
  for (int32_t Step = 1; Step <= N; ++Step) {
    const int32_t I = (StartAfter + Step) % N;
    const QString Item = ToQString(Items.Strings(I));
    if (Exact ? Item.compare(Wanted, Qt::CaseInsensitive) == 0 : Item.startsWith(Wanted, Qt::CaseInsensitive))
      return I;
  }
  return -1;
}
}  // namespace

int32_t TCustomComboBox::FindString(const std::string& S, int32_t StartAfter) const {
  return Search(*FItems, S, StartAfter, false);
}

int32_t TCustomComboBox::FindStringExact(const std::string& S, int32_t StartAfter) const {
  return Search(*FItems, S, StartAfter, true);
}

int32_t TCustomComboBox::TopIndex() const {
  return static_cast<TComboHost*>(Combo())->List()->verticalScrollBar()->value();
}

void TCustomComboBox::SetTopIndex(int32_t Value) {
  static_cast<TComboHost*>(Combo())->List()->verticalScrollBar()->setValue(std::max(0, Value));
}

int32_t TCustomComboBox::SelStart() const {
  const QLineEdit* E = EditPart();
  return E ? LineSelStart(E) : 0;
}

void TCustomComboBox::SetSelStart(int32_t Value) {
  if (QLineEdit* E = EditPart()) E->setCursorPosition(Value);
}

int32_t TCustomComboBox::SelLength() const {
  const QLineEdit* E = EditPart();
  return E ? LineSelLength(E) : 0;
}

void TCustomComboBox::SetSelLength(int32_t Value) {
  if (QLineEdit* E = EditPart()) E->setSelection(SelStart(), std::max(0, Value));
}

std::string TCustomComboBox::SelText() const {
  const QLineEdit* E = EditPart();
  return E ? FromQString(E->selectedText()) : std::string();
}

void TCustomComboBox::SelectAll() {
  if (QLineEdit* E = EditPart()) E->selectAll();
}

void TCustomComboBox::ShowEditMenu(const TPoint& ScreenPos) {
  const QLineEdit* E = EditPart();
  if (!E) return;
  TEditMenuState State;
  State.CanUndo = E->isUndoAvailable();
  State.HasSelection = E->hasSelectedText();
  State.CanSelectAll = E->selectedText().size() < E->text().size();
  PopupEditMenu(ScreenPos, State, [this] { SelectAll(); });
}

void TCustomComboBox::WMCut() {
  if (QLineEdit* E = EditPart()) E->cut();
}
void TCustomComboBox::WMCopy() {
  if (QLineEdit* E = EditPart()) E->copy();
}
void TCustomComboBox::WMPaste() {
  if (QLineEdit* E = EditPart()) E->paste();
}
void TCustomComboBox::WMClear() {
  if (QLineEdit* E = EditPart(); E && E->hasSelectedText()) E->insert(QString());
}
void TCustomComboBox::WMUndo() {
  if (QLineEdit* E = EditPart()) E->undo();
}

uint32_t TCustomComboBox::WMGetDlgCode() { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TCustomComboBox::EditPartMouse(QMouseEvent* Event) { TWinControl::HostEvent(Event); }

// ---------------------------------------------------------------------------
// Events

void TCustomComboBox::UserSelected(int32_t Index) {
  (void)Index;
  Click();
  Select();
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect)
    OnSelect(this);
  else
    Change();
}

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

// ---------------------------------------------------------------------------
// Owner drawing

int32_t TCustomComboBox::MeasuredHeight(int32_t Index) {
  int32_t Height = FItemHeight;
  if (FStyle == csOwnerDrawVariable) MeasureItem(Index, Height);
  return std::max(1, Height);
}

void TCustomComboBox::MeasureItem(int32_t Index, int32_t& Height) {
  if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TCustomComboBox::PaintItem(QPainter& Painter, int32_t Index, const QRect& R, TOwnerDrawState State) {
  if (R.isEmpty()) return;
  QImage Image(R.size(), QImage::Format_ARGB32_Premultiplied);
  Image.fill(Qt::transparent);
  TCanvas* C = FCanvas.get();
  C->SetImage(&Image);
  struct TUnbind {
    TCanvas* C;
    ~TUnbind() { C->SetImage(nullptr); }
  } Unbind{C};
  C->SetFont(Font());
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(State & odSelected ? clHighlight : Color());
  if (State & odSelected) C->Font()->SetColor(clHighlightText);
  const TRect Item = Rect(0, 0, R.width(), R.height());
  DrawItem(Index, Item, State);
  DrawItemFocus(Item, State);
  C->ReleasePainter();
  Painter.drawImage(R.topLeft(), Image);
}

void TCustomComboBox::DrawItemFocus(const TRect& Rect, TOwnerDrawState State) {
  if (State & odFocused) FCanvas->DrawFocusRect(Rect);
}

void TCustomComboBox::DrawItem(int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  if (OnDrawItem) {
    OnDrawItem(this, Index, Rect, State);
    return;
  }
  FCanvas->FillRect(Rect);
  if (Index >= 0 && Index < FItems->Count()) FCanvas->TextOut(Rect.Left + 2, Rect.Top, FItems->Strings(Index));
}
