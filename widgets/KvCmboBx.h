#pragma once
// The combo box of the windows: the class library's combo box with the state colours
// and hot-tracking frame of KvFramed.h, a flat drop-down button, a read-only state,
// keyboard search in the drop-down list, and auto-completion in the edit part.
//
// Choices the control makes for the user (a search, the wheel, a completion) raise
// what a choice in the list raises: OnClick, then OnSelect (OnChange without it).
//
// Keyboard search (csDropDownList): typed characters collect into a search text that
// selects the first item beginning with it, ignoring case; a key that finds nothing
// beeps and changes nothing. The search text is forgotten 1.5 s after the last key, on
// a navigation key and when the focus goes. Backspace takes the last character back
// (item 0 once nothing is left) and Escape selects item 0. An empty list ignores
// Backspace, Escape and the wheel and raises nothing.
//
// Auto-completion (csDropDown and csSimple, AutoComplete): typing and pasting complete
// the text to the first item beginning with what was typed, the completed tail
// selected. Without AllowEdit only text that begins an item can be typed. Text set by
// the program stays as it was set.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gui/ComboBox.h"
#include "platform/gui/ExtCtrls.h"
#include "widgets/KvFramed.h"

class QString;

// Data: the object of an item that left the list.
using TDeleteItemEvent = std::function<void(TComponent* Sender, void* Data)>;

class TKvCustomComboBox : public TKvFramed<TCustomComboBox> {
public:
  explicit TKvCustomComboBox(TComponent* AOwner);
  ~TKvCustomComboBox() override;

  // Typed text need not begin an item (styles with an edit part).
  bool AllowEdit() const { return FAllowEdit; }
  void SetAllowEdit(bool Value) { FAllowEdit = Value; }
  // The control's own completion (the class library's is off).
  bool AutoComplete() const { return FAutoComplete; }
  void SetAutoComplete(bool Value) { FAutoComplete = Value; }
  // Typing opens the list.
  bool AutoDropDown() const { return FAutoDropDown; }
  void SetAutoDropDown(bool Value) { FAutoDropDown = Value; }
  bool BeepOnInvalidKey() const { return FBeepOnInvalidKey; }
  void SetBeepOnInvalidKey(bool Value) { FBeepOnInvalidKey = Value; }
  // The drop-down button drawn by the control: flat in Color, raised in FlatButtonColor
  // while the control is hot or focused.
  bool FlatButtons() const { return FFlatButtons; }
  void SetFlatButtons(bool Value);
  TColor FlatButtonColor() const { return FFlatButtonColor; }
  void SetFlatButtonColor(TColor Value);
  // Completion keeps the case of what was typed.
  bool KeepSearchCase() const { return FKeepSearchCase; }
  void SetKeepSearchCase(bool Value) { FKeepSearchCase = Value; }
  // The user can neither open the list nor change the selection or the text; the
  // button is hidden under Color.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool TabOnEnter() const { return FTabOnEnter; }
  void SetTabOnEnter(bool Value) { FTabOnEnter = Value; }

  void SetFrameSetting(TKvFrameControllerPropertyConnection Index, uint32_t Value) override;

  // A completion changed the selected item.
  TNotifyEvent OnMatch;
  // The focus left a csDropDown box whose text is no item.
  TNotifyEvent OnNotInList;
  // The list closed with a choice (also of the item that was selected), or without one
  // (reported from the event loop, once it is clear that no choice follows).
  TNotifyEvent OnSelEndOk;
  TNotifyEvent OnSelEndCancel;
  // Once for each item with an object that leaves the list, also when the control goes.
  TDeleteItemEvent OnDeleteItem;

  // Milliseconds after the last key that the keyboard search forgets what was typed.
  static constexpr uint32_t SearchInterval = 1500;

protected:
  bool StateReadOnly() const override { return FReadOnly; }
  bool RepaintOnState() const override;
  void WMNCPaint(TCanvas* Canvas) override;
  // The drop-down button's rectangle, SM_CXVSCROLL wide inside the two-pixel ring.
  TRect ButtonRect() const;
  void PaintButton(TCanvas* Canvas);

  bool HostEvent(QEvent* Event) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) override;
  void CMExit() override;
  void ApplyLook() override;
  void DropDown() override;
  void CloseUp() override;
  void DrawItem(int32_t Index, const TRect& Rect, TOwnerDrawState State) override;
  void DrawItemFocus(const TRect& Rect, TOwnerDrawState State) override;
  void WMCut() override;
  void WMPaste() override;
  void WMClear() override;
  void WMUndo() override;
  void ItemDeleted(void* Data) override;

  void Beep() const;
  // Selects Index for the user, with the events of a choice.
  void ChooseItem(int32_t Index);

private:
  void SearchKey(char32_t& Key);
  void SearchFor(const QString& Text, bool RestartTimer);
  void CompletionKey(char32_t& Key);
  // Completes Typed to the first item beginning with it; false when none does.
  bool CompleteTo(const QString& Typed);

  bool FAllowEdit = true;
  bool FAutoComplete = true;
  bool FAutoDropDown = false;
  bool FBeepOnInvalidKey = true;
  bool FFlatButtons = false;
  TColor FFlatButtonColor = clBtnFace;
  bool FKeepSearchCase = false;
  bool FReadOnly = false;
  bool FTabOnEnter = false;
  // The keyboard search's text, forgotten when the timer fires.
  std::u16string FSearch;
  std::unique_ptr<TTimer, TComponentDeleter> FSearchTimer;
  // The list is open (until its closing is reported), and it was left with a choice.
  bool FListOpen = false;
  bool FChosen = false;
};

// Values: a second list beside Items; Value is the selected item's value (its Values
// entry, or its text when that is empty).
class TKvComboBox : public TKvCustomComboBox {
public:
  explicit TKvComboBox(TComponent* AOwner);
  ~TKvComboBox() override;

  TStrings* Values() const { return FValues.get(); }
  void SetValues(const TStrings* Value) { FValues->Assign(*Value); }
  // The Values entry of item Index when it is not empty, else the item's text ("" when
  // there is no such item).
  std::string GetItemValue(int32_t Index) const;
  // The selected item's value (styles with an edit part: of the item equal to Text),
  // or Text when it has none. Setting it selects the first item of that value (none
  // when no item has it); a change of Values selects again.
  std::string Value() const;
  void SetValue(const std::string& Value);

protected:
  void Click() override;
  void Change() override;

private:
  class TValueStrings;
  void ApplyValue(const std::string& Value);
  void TakeValue();

  std::unique_ptr<TStrings> FValues;
  std::string FValue;
  bool FSettingValue = false;
};
