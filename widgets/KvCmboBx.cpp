#include "widgets/KvCmboBx.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>

#include "platform/gui/QtSupport.h"
#include "widgets/KvFramedImpl.h"

template class TKvFramed<TCustomComboBox>;

namespace {
// The width of the drop-down button (SM_CXVSCROLL) and the ring it sits in.
constexpr int32_t ButtonWidth = 17;
constexpr int32_t RingWidth = 2;

bool Printable(char32_t Key) { return Key >= U' ' && Key != 0x7F; }
}  // namespace

// ---------------------------------------------------------------------------
// Life and properties

TKvCustomComboBox::TKvCustomComboBox(TComponent* AOwner) : TKvFramed(AOwner), FSearchTimer(new TTimer(nullptr)) {
  TCustomComboBox::SetAutoComplete(false);
  FSearchTimer->SetEnabled(false);
  FSearchTimer->SetInterval(SearchInterval);
  FSearchTimer->OnTimer = [this](TComponent*) {
    FSearchTimer->SetEnabled(false);
    FSearch.clear();
  };
  // Qt closes the list before it reports the choice.
  QObject::connect(Combo(), &QComboBox::activated, Combo(), [this] {
    if (!FListOpen || FChosen) return;
    FChosen = true;
    if (OnSelEndOk) OnSelEndOk(this);
  });
}

TKvCustomComboBox::~TKvCustomComboBox() = default;

void TKvCustomComboBox::SetFlatButtons(bool Value) {
  if (Value == FFlatButtons) return;
  FFlatButtons = Value;
  Invalidate();
}

void TKvCustomComboBox::SetFlatButtonColor(TColor Value) {
  if (Value == FFlatButtonColor) return;
  FFlatButtonColor = Value;
  Invalidate();
}

void TKvCustomComboBox::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  FReadOnly = Value;
  ApplyLook();
  UpdateColors();
  Invalidate();
}

void TKvCustomComboBox::SetFrameSetting(TKvFrameControllerPropertyConnection Index, uint32_t Value) {
  switch (Index) {
    case fcpFlatButtonColor: SetFlatButtonColor(Value); break;
    case fcpFlatButtons: SetFlatButtons(Value != 0); break;
    default: TKvFramed::SetFrameSetting(Index, Value);
  }
}

void TKvCustomComboBox::ApplyLook() {
  TKvFramed::ApplyLook();
  // The edit part of a style switched to at run time is read-only too.
  if (QLineEdit* E = Combo()->lineEdit()) E->setReadOnly(FReadOnly);
}

void TKvCustomComboBox::ItemDeleted(void* Data) {
  if (OnDeleteItem) OnDeleteItem(this, Data);
}

void TKvCustomComboBox::Beep() const {
  if (FBeepOnInvalidKey) KvMessageBeep();
}

void TKvCustomComboBox::ChooseItem(int32_t Index) {
  SetItemIndex(Index);
  UserSelected(Index);
}

// ---------------------------------------------------------------------------
// Painting

bool TKvCustomComboBox::RepaintOnState() const { return (FFlatButtons || FrameHotTrack()) && !DroppedDown(); }

TRect TKvCustomComboBox::ButtonRect() const {
  if (UseRightToLeftAlignment()) return Rect(RingWidth, RingWidth, RingWidth + ButtonWidth, Height() - RingWidth);
  return Rect(Width() - RingWidth - ButtonWidth, RingWidth, Width() - RingWidth, Height() - RingWidth);
}

void TKvCustomComboBox::WMNCPaint(TCanvas* Canvas) {
  TKvFramed::WMNCPaint(Canvas);
  if (Style() != csSimple) PaintButton(Canvas);
}

void TKvCustomComboBox::PaintButton(TCanvas* Canvas) {
  if (!FFlatButtons && !FReadOnly) return;
  const TRect R = ButtonRect();
  // Read-only: no button at all.
  if (FReadOnly) return FillSolidRect(Canvas, R, Color());
  if (!HotState() && !FocusedState()) {
    FillSolidRect(Canvas, R, Color());
    return PaintDropDownArrow(Canvas, R, false, Enabled(), false);
  }
  const bool Dropped = DroppedDown();
  Canvas->Pen()->SetWidth(1);
  const TRect Inner = FFlatButtonColor == clBtnFace
                          ? PaintRectSides(Canvas, R, Dropped ? clBtnShadow : clBtnHighlight, sdsAll,
                                           Dropped ? clBtnHighlight : clBtnShadow)
                          : PaintColoredStyledFrameRect(Canvas, R, FFlatButtonColor, Dropped ? fsStatus : fsPopup);
  FillSolidRect(Canvas, Inner, FFlatButtonColor);
  PaintDropDownArrow(Canvas, Inner, false, Enabled(), Dropped);
}

void TKvCustomComboBox::DrawItem(int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  if (Index >= 0) return TKvFramed::DrawItem(Index, Rect, State);
  // No item: the face shows only whether it has the focus.
  if (State & odSelected)
    PaintDottedFocus(Canvas(), Rect);
  else
    Canvas()->FillRect(Rect);
}

void TKvCustomComboBox::DrawItemFocus(const TRect& Rect, TOwnerDrawState State) {
  if (State & odSelected) PaintDottedFocus(Canvas(), Rect);
}

// ---------------------------------------------------------------------------
// The list

void TKvCustomComboBox::DropDown() {
  FListOpen = true;
  FChosen = false;
  TKvFramed::DropDown();
}

void TKvCustomComboBox::CloseUp() {
  TKvFramed::CloseUp();
  Invalidate();
  // A choice, if any, is reported right after the list closed.
  QMetaObject::invokeMethod(
      Combo(),
      [this] {
        FListOpen = false;
        if (!FChosen && OnSelEndCancel) OnSelEndCancel(this);
      },
      Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Mouse

bool TKvCustomComboBox::HostEvent(QEvent* Event) {
  // Read-only: the list neither opens nor takes the focus by a click.
  if (FReadOnly && (Event->type() == QEvent::MouseButtonPress || Event->type() == QEvent::MouseButtonDblClick) &&
      static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
    Event->accept();
    return true;
  }
  return TKvFramed::HostEvent(Event);
}

bool TKvCustomComboBox::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  if (TKvFramed::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  if (DroppedDown()) return false;
  const int32_t Count = Items()->Count();
  if (FReadOnly || Count == 0) return true;
  // One item per step, down the list for the wheel turned towards the user.
  const int32_t Old = ItemIndex();
  const int32_t New = std::clamp(Old - WheelDelta / 120, 0, Count - 1);
  if (New != Old) ChooseItem(New);
  return true;
}

// ---------------------------------------------------------------------------
// Keys

void TKvCustomComboBox::KeyDown(uint16_t& Key, TShiftState Shift) {
  TKvFramed::KeyDown(Key, Shift);
  switch (Key) {
    case VK_ESCAPE:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: FSearch.clear(); break;
    default: break;
  }
  const bool Editable = ItemsEditable();
  if (FReadOnly) {
    // Nothing that moves the selection or opens the list.
    const bool Moves = Key == VK_UP || Key == VK_DOWN || Key == VK_PRIOR || Key == VK_NEXT || Key == VK_F4 ||
                       (!Editable && (Key == VK_HOME || Key == VK_END || Key == VK_LEFT || Key == VK_RIGHT));
    if (Moves) Key = 0;
    return;
  }
  if (!Editable) return;
  // Pasting and cutting go through their messages, which check AllowEdit.
  if ((Key == 'V' && Shift == ssCtrl) || (Key == VK_INSERT && Shift == ssShift)) {
    Key = 0;
    Perform(WM_PASTE);
  } else if ((Key == 'X' && Shift == ssCtrl) || (Key == VK_DELETE && Shift == ssShift)) {
    Key = 0;
    Perform(WM_CUT);
  } else if (Key == VK_DELETE && !FAllowEdit && Text().size() > SelText().size()) {
    Key = 0;
  }
}

void TKvCustomComboBox::KeyPress(char32_t& Key) {
  if (FReadOnly) {
    if (Key != 3) Key = 0;  // Ctrl+C copies
    return;
  }
  if (Key == U'\r' && FTabOnEnter && !DroppedDown()) {
    Key = 0;
    PostTabKey(this);
    return;
  }
  if (Style() == csDropDown && MaxLength() > 0 && Printable(Key) && SelLength() == 0 &&
      ToQString(Text()).size() >= MaxLength()) {
    Key = 0;
    Beep();
    return;
  }
  const char32_t Typed = Key;
  TKvFramed::KeyPress(Key);
  if (Key != 0) {
    if (!ItemsEditable())
      SearchKey(Key);
    else if (FAutoComplete)
      CompletionKey(Key);
  }
  if (FAutoDropDown && Typed != U'\b' && Typed != U'\t' && Typed != U'\x1b' && !DroppedDown()) SetDroppedDown(true);
}

void TKvCustomComboBox::SearchKey(char32_t& Key) {
  if (Key == U'\b') {
    Key = 0;
    if (FSearch.empty()) return Beep();
    QString Search = QString::fromStdU16String(FSearch);
    Search.chop(Search.size() > 1 && Search.back().isLowSurrogate() ? 2 : 1);
    FSearch = Search.toStdU16String();
    if (Search.isEmpty()) {
      if (Items()->Count() > 0) ChooseItem(0);
      return;
    }
    return SearchFor(Search, false);
  }
  if (Key == U'\x1b') {
    Key = 0;
    if (Items()->Count() > 0) ChooseItem(0);
    return;
  }
  if (!Printable(Key)) return;
  const QString Search = QString::fromStdU16String(FSearch) + QString::fromUcs4(&Key, 1);
  Key = 0;
  SearchFor(Search, true);
}

void TKvCustomComboBox::SearchFor(const QString& Text, bool RestartTimer) {
  const int32_t Index = FindString(FromQString(Text));
  if (Index >= 0) {
    FSearch = Text.toStdU16String();
    ChooseItem(Index);
  } else {
    Beep();
  }
  if (RestartTimer) {
    FSearchTimer->SetEnabled(false);
    FSearchTimer->SetEnabled(true);
  }
}

void TKvCustomComboBox::CompletionKey(char32_t& Key) {
  QLineEdit* E = EditPart();
  const QString Text = E->text();
  const int Start = SelStart(), Length = SelLength();
  if (Printable(Key)) {
    const QString Typed = Text.left(Start) + QString::fromUcs4(&Key, 1) + Text.mid(Start + Length);
    if (CompleteTo(Typed)) {
      Key = 0;
    } else if (!FAllowEdit) {
      Key = 0;
      Beep();
    }
    return;
  }
  if (Key == U'\b') {
    Key = 0;
    // A completed tail goes with the character typed before it.
    const bool Tail = Length > 0 && Start + Length == Text.size();
    QString Typed;
    int Caret = Start;
    if (Tail) {
      Caret = std::max(0, Start - 1);
      Typed = Text.left(Caret);
    } else if (Start + Length < Text.size() && !FAllowEdit) {
      return Beep();
    } else if (Length > 0) {
      Typed = Text.left(Start) + Text.mid(Start + Length);
    } else if (Start > 0) {
      Caret = Start - 1;
      Typed = Text.left(Caret) + Text.mid(Start);
    } else {
      return Beep();
    }
    if (Typed.isEmpty()) {
      SetItemIndex(-1);
      UserSelected(-1);
    } else if (!CompleteTo(Typed)) {
      E->setText(Typed);
      E->setCursorPosition(Caret);
      Change();
    }
    return;
  }
  if (Key == U'\x1b') {
    Key = 0;
    if (ItemIndex() < 0 && Text.isEmpty()) return;
    SetItemIndex(-1);
    UserSelected(-1);
  }
}

bool TKvCustomComboBox::CompleteTo(const QString& Typed) {
  if (Typed.isEmpty()) return false;
  const int32_t Index = FindString(FromQString(Typed));
  if (Index < 0) return false;
  const int32_t Before = ItemIndex();
  const QString Item = ToQString(Items()->Strings(Index));
  QLineEdit* E = EditPart();
  SetItemIndex(Index);
  if (FKeepSearchCase) E->setText(Typed + Item.mid(Typed.size()));
  if (Item.size() > Typed.size())
    E->setSelection(Typed.size(), Item.size() - Typed.size());
  else
    E->setCursorPosition(Typed.size());
  UserSelected(Index);
  if (ItemIndex() != Before && OnMatch) OnMatch(this);
  return true;
}

void TKvCustomComboBox::CMExit() {
  TKvFramed::CMExit();
  FSearch.clear();
  FSearchTimer->SetEnabled(false);
  if (Style() == csDropDown && !Text().empty() && FindStringExact(Text()) < 0 && OnNotInList) OnNotInList(this);
}

// ---------------------------------------------------------------------------
// Clipboard

void TKvCustomComboBox::WMCut() {
  if (!FReadOnly && FAllowEdit) TKvFramed::WMCut();
}

void TKvCustomComboBox::WMPaste() {
  if (FReadOnly || (!FAllowEdit && ItemsEditable())) return;
  TKvFramed::WMPaste();
  if (FAutoComplete && ItemsEditable()) CompleteTo(ToQString(Text()));
}

void TKvCustomComboBox::WMClear() {
  if (!FReadOnly && FAllowEdit) TKvFramed::WMClear();
}

void TKvCustomComboBox::WMUndo() {
  if (!FReadOnly && FAllowEdit) TKvFramed::WMUndo();
}

// ---------------------------------------------------------------------------
// TKvComboBox

// A change of the values selects again by the value kept.
class TKvComboBox::TValueStrings : public TStringVector {
public:
  explicit TValueStrings(TKvComboBox* Box) : FBox(Box) {}

protected:
  void Changed(int32_t, int32_t) override {
    if (!Updating()) FBox->ApplyValue(FBox->FValue);
  }
  void SetUpdateState(bool Updating) override {
    if (!Updating) FBox->ApplyValue(FBox->FValue);
  }

private:
  TKvComboBox* FBox;
};

TKvComboBox::TKvComboBox(TComponent* AOwner) : TKvCustomComboBox(AOwner), FValues(new TValueStrings(this)) {}

TKvComboBox::~TKvComboBox() = default;

std::string TKvComboBox::GetItemValue(int32_t Index) const {
  if (Index < 0 || Index >= Items()->Count()) return {};
  if (Index < FValues->Count() && !FValues->Strings(Index).empty()) return FValues->Strings(Index);
  return Items()->Strings(Index);
}

std::string TKvComboBox::Value() const {
  int32_t Index = ItemIndex();
  if (ItemsEditable()) Index = Text().empty() ? -1 : Items()->IndexOf(Text());
  if (Index >= 0 && Index < FValues->Count() && !FValues->Strings(Index).empty()) return FValues->Strings(Index);
  return Text();
}

void TKvComboBox::SetValue(const std::string& Value) {
  if (Value == FValue) return;
  ApplyValue(Value);
}

void TKvComboBox::ApplyValue(const std::string& Value) {
  FSettingValue = true;
  int32_t Found = -1;
  for (int32_t I = 0; I < Items()->Count() && Found < 0; ++I)
    if (GetItemValue(I) == Value) Found = I;
  SetItemIndex(Found);
  FValue = Value;
  FSettingValue = false;
}

void TKvComboBox::TakeValue() {
  if (!FSettingValue && ItemIndex() >= 0) FValue = GetItemValue(ItemIndex());
}

void TKvComboBox::Click() {
  TKvCustomComboBox::Click();
  TakeValue();
}

void TKvComboBox::Change() {
  TKvCustomComboBox::Change();
  TakeValue();
}
