#include "widgets/KvEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "widgets/KvFramedImpl.h"

// ---------------------------------------------------------------------------
// TKvFramedText

template <class Base>
TKvFramedText<Base>::TKvFramedText(TComponent* AOwner) : TKvFramed<Base>(AOwner) {
  this->SetControlStyle((this->ControlStyle() | csCaptureMouse) & ~csSetCaption);
}

template <class Base>
void TKvFramedText<Base>::ReadOnlyChanged() {
  Base::ReadOnlyChanged();
  this->UpdateColors();
  this->RepaintFrame();
}

template <class Base>
void TKvFramedText<Base>::FrameVisibleChanged() {
  if (this->FrameVisible()) this->SetCtl3D(true);
  this->RepaintFrame();
}

template <class Base>
void TKvFramedText<Base>::KeyPress(char32_t& Key) {
  Base::KeyPress(Key);
  if (Key == U'\r' && FTabOnEnter) {
    Key = 0;
    PostTabKey(this);
  }
}

template class TKvFramed<TCustomMaskEdit>;
template class TKvFramed<TMemo>;
template class TKvFramedText<TCustomMaskEdit>;
template class TKvFramedText<TMemo>;

// ---------------------------------------------------------------------------
// TKvCustomEdit

TKvCustomEdit::TKvCustomEdit(TComponent* AOwner) : TKvFramedText(AOwner) {}

void TKvCustomEdit::Beep() const {
  if (FBeepOnInvalidKey) KvMessageBeep();
}

void TKvCustomEdit::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TKvFramedText::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) SetMouseCapture(false);
}

void TKvCustomEdit::WMKillFocus(TFocusReason Reason) {
  TKvFramedText::WMKillFocus(Reason);
  SetMouseCapture(false);
}

// ---------------------------------------------------------------------------
// TKvMemo

TKvMemo::TKvMemo(TComponent* AOwner) : TKvFramedText(AOwner) {}

int32_t TKvMemo::Line() const { return CaretPos().Y + 1; }

int32_t TKvMemo::Column() const { return CaretPos().X + 1; }

void TKvMemo::SetLine(int32_t Value) {
  if (Value < 1 || Value > Memo()->document()->blockCount()) return;
  SetCaretPos({0, Value - 1});
  SetTopLine(Value - 1);
  LineColChange();
}

void TKvMemo::SetColumn(int32_t Value) {
  const TPoint Caret = CaretPos();
  const int32_t Length = Memo()->textCursor().block().length() - 1;
  if (Value < 1 || Value > Length + 1) return;
  SetCaretPos({Value - 1, Caret.Y});
  LineColChange();
}

void TKvMemo::LineColChange() {
  if (OnLineColChange) OnLineColChange(this, Line(), Column());
  ClipboardChange();
}

void TKvMemo::ClipboardChange() {
  if (OnClipboardChange) OnClipboardChange(this, !QApplication::clipboard()->text().isEmpty(), SelLength() > 0);
}

void TKvMemo::CreateWnd() {
  TKvFramedText::CreateWnd();
  LineColChange();
}

void TKvMemo::Change() {
  TKvFramedText::Change();
  LineColChange();
}

void TKvMemo::Click() {
  TKvFramedText::Click();
  LineColChange();
}

void TKvMemo::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TKvFramedText::MouseUp(Button, Shift, X, Y);
  ClipboardChange();
}

bool TKvMemo::HostEvent(QEvent* Event) {
  const bool Result = TKvFramedText::HostEvent(Event);
  // After the memo handled the key, so the caret has moved.
  if (Event->type() == QEvent::KeyPress || Event->type() == QEvent::KeyRelease) LineColChange();
  return Result;
}

bool TKvMemo::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  if (OnMouseWheel) return TKvFramedText::DoMouseWheel(Shift, WheelDelta, MousePos);
  const int32_t Lines = std::abs(WheelDelta) / 120 * QApplication::wheelScrollLines();
  const int32_t Step = WheelDelta > 0 ? -1 : 1;
  for (int32_t I = 0; I < Lines; ++I)
    if (!ScrollLines(Step)) break;
  return true;
}
