#pragma once
// The single-line and multi-line text boxes of the windows: the class library's edit
// and memo with the state colours and hot-tracking frame of KvFramed.h, Enter as Tab,
// and for the memo the caret's line and column with their events.

#include <cstdint>
#include <functional>

#include "platform/gui/Edits.h"
#include "widgets/KvFramed.h"

// What the edit and the memo add alike.
template <class Base>
class TKvFramedText : public TKvFramed<Base> {
public:
  explicit TKvFramedText(TComponent* AOwner);

  // Enter moves the focus on as Tab does (and types nothing).
  bool TabOnEnter() const { return FTabOnEnter; }
  void SetTabOnEnter(bool Value) { FTabOnEnter = Value; }

protected:
  bool StateReadOnly() const override { return this->ReadOnly(); }
  void ReadOnlyChanged() override;
  // A visible frame needs the two-pixel band.
  void FrameVisibleChanged() override;
  void KeyPress(char32_t& Key) override;

private:
  bool FTabOnEnter = false;
};

class TKvCustomEdit : public TKvFramedText<TCustomMaskEdit> {
public:
  explicit TKvCustomEdit(TComponent* AOwner);

  // The edit's beeps (Beep) sound only while this is set.
  bool BeepOnInvalidKey() const { return FBeepOnInvalidKey; }
  void SetBeepOnInvalidKey(bool Value) { FBeepOnInvalidKey = Value; }

protected:
  // A key the edit refuses.
  void Beep() const;
  // A mouse capture the edit holds (also one the program set) ends when the left button
  // goes up and when the edit loses the focus.
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void WMKillFocus(TFocusReason Reason) override;

private:
  bool FBeepOnInvalidKey = true;
};

class TKvEdit : public TKvCustomEdit {
public:
  using TKvCustomEdit::TKvCustomEdit;
};

// Line and Column count from 1.
using TLineColChangeEvent = std::function<void(TComponent* Sender, int32_t Line, int32_t Column)>;
using TClipboardChangeEvent = std::function<void(TComponent* Sender, bool CanPaste, bool SelectionAvailable)>;

// Lines are the hard lines of the text, as in Lines.
class TKvMemo : public TKvFramedText<TMemo> {
public:
  explicit TKvMemo(TComponent* AOwner);

  // The caret's line and column. Setting Column moves the caret within its line (a
  // column beyond the line's end plus one, or below 1, is ignored); setting Line moves
  // it to the start of that line and scrolls the line to the top (a line that does not
  // exist is ignored). Both then raise OnLineColChange.
  int32_t Line() const;
  void SetLine(int32_t Value);
  int32_t Column() const;
  void SetColumn(int32_t Value);

  // After the window shows, the text changes, a click, and every key down and up.
  TLineColChangeEvent OnLineColChange;
  // After each line and column change and after a mouse button goes up: whether the
  // clipboard holds text and whether something is selected.
  TClipboardChangeEvent OnClipboardChange;

protected:
  virtual void LineColChange();
  virtual void ClipboardChange();
  void CreateWnd() override;
  void Change() override;
  void Click() override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  bool HostEvent(QEvent* Event) override;
  // Without an OnMouseWheel handler, the wheel scrolls the system's wheel lines per step.
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) override;
};
