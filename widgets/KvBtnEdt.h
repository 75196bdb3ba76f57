#pragma once
// The button edit: a TKvEdit with up to two small buttons at its right edge (at its
// left for right-to-left text), the main button and the alternate one, each with a
// stock glyph kind or a glyph of the program's, a hint, a width and a shortcut (F4
// clicks the main button). The text keeps clear of the buttons. Pressing a button
// first brings the focus to the edit; a press that cannot do that clicks nothing.
//
// Without AllowKeyEdit the text can be changed only by the program (and the buttons'
// handlers): typing, Backspace and Delete beep, and cut, paste, delete and undo do
// nothing; the keys that move the caret still work.

#include <cstdint>
#include <string>

#include "widgets/KvEdit.h"
#include "widgets/KvSpnEdt.h"

namespace KvBtnEdt {
// bkCustom also names the bitmap button's custom kind, so it keeps its unit's name:
// KvBtnEdt::bkCustom.
enum TButtonKind : uint8_t {
  bkCustom,
  bkLookup,
  bkDropDown,
  bkCalendar,
  bkAccept,
  bkReject,
  bkFolder,
  bkFind,
  bkSearch
};
}  // namespace KvBtnEdt
using KvBtnEdt::TButtonKind;
using KvBtnEdt::bkAccept;
using KvBtnEdt::bkCalendar;
using KvBtnEdt::bkDropDown;
using KvBtnEdt::bkFind;
using KvBtnEdt::bkFolder;
using KvBtnEdt::bkLookup;
using KvBtnEdt::bkReject;
using KvBtnEdt::bkSearch;

// The stock glyph of Kind: two 9 x 9 cells, the picture and the picture embossed in the
// disabled colours. Empty for bkCustom and bkDropDown (which shows the drop-down
// arrow). Drawn once and shared by every button edit.
const TBitmap* ButtonEditGlyph(TButtonKind Kind);

// The child that holds the two buttons: the alternate one (hidden at first) and the
// main one, each 17 pixels wide.
class TKvButtonPair : public TKvButtonHolder {
public:
  explicit TKvButtonPair(TComponent* AOwner);

  TKvControlButton* AltButton() const { return FAltBtn; }
  TKvControlButton* MainButton() const { return FMainBtn; }

  TNotifyEvent OnAltBtnClick;
  TNotifyEvent OnButtonClick;

protected:
  void ButtonClick(TKvControlButton* Sender) override;

private:
  TKvControlButton* FAltBtn;
  TKvControlButton* FMainBtn;
};

class TKvCustomButtonEdit : public TKvCustomEdit {
public:
  explicit TKvCustomButtonEdit(TComponent* AOwner);
  void Loaded() override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  bool AllowKeyEdit() const { return FAllowKeyEdit; }
  void SetAllowKeyEdit(bool Value) { FAllowKeyEdit = Value; }
  // Flat buttons in the edit's colour, raised in FlatButtonColor while the edit is hot
  // or focused.
  bool FlatButtons() const { return FButtons->Flat(); }
  void SetFlatButtons(bool Value);
  TColor FlatButtonColor() const { return FFlatButtonColor; }
  void SetFlatButtonColor(TColor Value);
  // A read-only edit shows no buttons (and keeps no room for them).
  bool HideButtonsOnReadOnly() const { return FHideButtonsOnReadOnly; }
  void SetHideButtonsOnReadOnly(bool Value);

  // The main button.
  TButtonKind ButtonKind() const { return Kind(Main); }
  void SetButtonKind(TButtonKind Value) { SetBtnKind(Main, Value); }
  // A glyph of the program's: the kind becomes bkCustom.
  TBitmap* ButtonGlyph() const { return Button(Main)->Glyph(); }
  void SetButtonGlyph(const TBitmap* Value) { SetBtnGlyph(Main, Value); }
  int32_t ButtonNumGlyphs() const { return Button(Main)->NumGlyphs(); }
  void SetButtonNumGlyphs(int32_t Value) { Button(Main)->SetNumGlyphs(Value); }
  std::string ButtonHint() const { return Button(Main)->Hint(); }
  void SetButtonHint(const std::string& Value) { Button(Main)->SetHint(Value); }
  TShortCut ButtonShortCut() const { return FShortCuts[Main]; }
  void SetButtonShortCut(TShortCut Value) { FShortCuts[Main] = Value; }
  bool ButtonVisible() const { return Button(Main)->Visible(); }
  void SetButtonVisible(bool Value) { SetBtnVisible(Main, Value); }
  int32_t ButtonWidth() const { return Button(Main)->Width(); }
  void SetButtonWidth(int32_t Value) { SetBtnWidth(Main, Value); }
  // The alternate button.
  TButtonKind AltBtnKind() const { return Kind(Alt); }
  void SetAltBtnKind(TButtonKind Value) { SetBtnKind(Alt, Value); }
  TBitmap* AltBtnGlyph() const { return Button(Alt)->Glyph(); }
  void SetAltBtnGlyph(const TBitmap* Value) { SetBtnGlyph(Alt, Value); }
  int32_t AltBtnNumGlyphs() const { return Button(Alt)->NumGlyphs(); }
  void SetAltBtnNumGlyphs(int32_t Value) { Button(Alt)->SetNumGlyphs(Value); }
  std::string AltBtnHint() const { return Button(Alt)->Hint(); }
  void SetAltBtnHint(const std::string& Value) { Button(Alt)->SetHint(Value); }
  TShortCut AltBtnShortCut() const { return FShortCuts[Alt]; }
  void SetAltBtnShortCut(TShortCut Value) { FShortCuts[Alt] = Value; }
  bool AltBtnVisible() const { return Button(Alt)->Visible(); }
  void SetAltBtnVisible(bool Value) { SetBtnVisible(Alt, Value); }
  int32_t AltBtnWidth() const { return Button(Alt)->Width(); }
  void SetAltBtnWidth(int32_t Value) { SetBtnWidth(Alt, Value); }

  TKvButtonPair* Buttons() const { return FButtons; }

  TNotifyEvent OnAltBtnClick;
  TNotifyEvent OnButtonClick;

protected:
  virtual void ButtonClick();
  virtual void AltBtnClick();
  // Puts the pair at the right edge (the left for right-to-left text), the main button
  // first, and moves the text's margin clear of it.
  virtual void PlaceButtons();

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ReadOnlyChanged() override;
  void FrameVisibleChanged() override;
  void BorderChanged() override;
  void SetFrameState(TKvFrameState Which, bool Value) override;
  void CMColorChanged() override;
  void CMEnabledChanged() override;
  void CMFontChanged() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void WMCut() override;
  void WMPaste() override;
  void WMClear() override;
  void WMUndo() override;

private:
  // Which button a shared accessor works on.
  enum TWhich : uint8_t { Alt, Main };
  TKvControlButton* Button(TWhich Which) const {
    return Which == Main ? FButtons->MainButton() : FButtons->AltButton();
  }
  TButtonKind Kind(TWhich Which) const { return FKinds[Which]; }
  void SetBtnKind(TWhich Which, TButtonKind Value);
  void ApplyKind(TWhich Which);
  void SetBtnGlyph(TWhich Which, const TBitmap* Value);
  void SetBtnVisible(TWhich Which, bool Value);
  void SetBtnWidth(TWhich Which, int32_t Value);
  // The pair's colour follows the edit's, FlatButtonColor while hot with flat buttons.
  void UpdatePairColor();
  bool ButtonsHidden() const { return ReadOnly() && FHideButtonsOnReadOnly; }
  bool TextEditable() const { return FAllowKeyEdit && !ReadOnly(); }

  TKvButtonPair* FButtons = nullptr;
  bool FAllowKeyEdit = true;
  TColor FFlatButtonColor = clBtnFace;
  TButtonKind FKinds[2] = {KvBtnEdt::bkCustom, KvBtnEdt::bkCustom};
  TShortCut FShortCuts[2] = {0, VK_F4};
  // The last key down clicked a button: its character is not typed.
  bool FShortCutUsed = false;
  // The last key down was a Ctrl chord: its character is a command, not typing.
  bool FCommandKey = false;
  bool FHideButtonsOnReadOnly = true;
};

class TKvButtonEdit : public TKvCustomButtonEdit {
public:
  using TKvCustomButtonEdit::TKvCustomButtonEdit;
};
