#pragma once
// Spin buttons: two auto-repeating control buttons, up (or right) and down (or left),
// stacked or side by side, that step a value through OnUpRightClick and
// OnDownLeftClick; the Up and Down keys click them too.
//
// TKvButtonHolder is what the spin buttons share with the button edit's pair: a small
// windowed control holding control buttons whose Color, Enabled and Flat it passes on,
// and which takes the focus to FocusControl before a press counts.

#include <cstdint>
#include <vector>

#include "platform/gui/Controls.h"
#include "widgets/KvCommon.h"
#include "widgets/KvCtrlBtn.h"

class TKvButtonHolder : public TWinControl {
public:
  // A left press on a button first moves the focus to FocusControl (when it is a tab
  // stop that can take it), or else to the holder itself when that is a tab stop; a
  // press after which the focus did not arrive there clicks nothing, also not when it
  // repeats or is released.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);

protected:
  explicit TKvButtonHolder(TComponent* AOwner);
  // A visible, enabled button of the holder's whose clicks reach ButtonClick.
  TKvControlButton* CreateButton();
  virtual void ButtonClick(TKvControlButton* Sender) = 0;
  virtual void ButtonMouseDown(TMouseButton Button);
  void CMColorChanged() override;
  void CMEnabledChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  // Moves the focus to Target when it should take it; false when it did not arrive.
  static bool Focus(TWinControl* Target);

  TWinControl* FFocusControl = nullptr;
  bool FFlat = false;
  // The last press did not get the focus where it had to go.
  bool FAbandoned = false;
  std::vector<TKvControlButton*> FButtons;
};

enum TSpinDirection : uint8_t { sdUpDown, sdLeftRight };

class TKvSpinButtons : public TKvButtonHolder {
public:
  explicit TKvSpinButtons(TComponent* AOwner);
  void Loaded() override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  // The arrows: up and down, or right and left. Changing it drops the user glyphs.
  TSpinDirection Direction() const { return FDirection; }
  void SetDirection(TSpinDirection Value);
  // Vertical: up/right above, down/left below; horizontal: down/left at the left.
  // Changing it (not while loading) halves the width when it becomes vertical and
  // doubles it when it becomes horizontal.
  TOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TOrientation Value);
  // The repeat interval and the wait before the first repeat of both buttons (ms).
  uint16_t Delay() const { return FUpRight->Delay(); }
  void SetDelay(uint16_t Value);
  uint16_t InitialDelay() const { return FUpRight->InitialDelay(); }
  void SetInitialDelay(uint16_t Value);
  // A glyph in place of a button's arrow; nullptr or an empty bitmap gives the arrow back.
  TBitmap* GlyphUpRight() const { return FUpRight->Glyph(); }
  void SetGlyphUpRight(const TBitmap* Value) { SetButtonGlyph(FUpRight, Value, true); }
  TBitmap* GlyphDownLeft() const { return FDownLeft->Glyph(); }
  void SetGlyphDownLeft(const TBitmap* Value) { SetButtonGlyph(FDownLeft, Value, false); }
  int32_t NumGlyphsUpRight() const { return FUpRight->NumGlyphs(); }
  void SetNumGlyphsUpRight(int32_t Value) { FUpRight->SetNumGlyphs(Value); }
  int32_t NumGlyphsDownLeft() const { return FDownLeft->NumGlyphs(); }
  void SetNumGlyphsDownLeft(int32_t Value) { FDownLeft->SetNumGlyphs(Value); }

  TKvControlButton* UpRightButton() const { return FUpRight; }
  TKvControlButton* DownLeftButton() const { return FDownLeft; }

  TNotifyEvent OnUpRightClick;
  TNotifyEvent OnDownLeftClick;

protected:
  virtual void UpRightClick();
  virtual void DownLeftClick();
  void ButtonClick(TKvControlButton* Sender) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  uint32_t WMGetDlgCode() override { return DLGC_WANTARROWS; }

private:
  void SetButtonGlyph(TKvControlButton* Button, const TBitmap* Value, bool UpRight);
  void LayOut(int32_t Width, int32_t Height);

  TSpinDirection FDirection = sdUpDown;
  TOrientation FOrientation = orVertical;
  TKvControlButton* FUpRight;
  TKvControlButton* FDownLeft;
};
