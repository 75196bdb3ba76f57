#pragma once
// The control button: the small windowless button that other controls embed (the
// halves of the spin buttons, the buttons of the button edit). It shows a glyph cell
// (cbsNone), an arrow (cbsLeft, cbsUp, cbsRight, cbsDown) or a drop-down arrow
// (cbsDropDown), raised or, with Flat, framed only while hot or pressed. With
// RepeatClicks a held button clicks after InitialDelay milliseconds and then every
// Delay, also while the pointer is off it (the button keeps the mouse); the repeats run
// on TTimer. Releasing the left button over it clicks once more.

#include <cstdint>
#include <memory>

#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"
#include "widgets/KvCommon.h"

enum TKvControlButtonStyle : uint8_t { cbsNone, cbsLeft, cbsUp, cbsRight, cbsDown, cbsDropDown };

class TKvControlButton : public TGraphicControl {
public:
  explicit TKvControlButton(TComponent* AOwner);
  ~TKvControlButton() override;

  bool Flat() const { return FFlat; }
  virtual void SetFlat(bool Value);
  // A strip of NumGlyphs cells: normal, disabled, pressed. A glyph whose width is a
  // multiple of its height sets NumGlyphs (1 when that is not 1 to 4). A copy is kept.
  TBitmap* Glyph() const { return FGlyph.get(); }
  virtual void SetGlyph(const TBitmap* Value);
  int32_t NumGlyphs() const { return FNumGlyphs; }
  // 1 to 4.
  virtual void SetNumGlyphs(int32_t Value);
  TKvControlButtonStyle Style() const { return FStyle; }
  virtual void SetStyle(TKvControlButtonStyle Value);
  bool RepeatClicks() const { return FRepeatClicks; }
  void SetRepeatClicks(bool Value) { FRepeatClicks = Value; }
  uint16_t InitialDelay() const { return FInitialDelay; }
  void SetInitialDelay(uint16_t Value) { FInitialDelay = Value; }
  uint16_t Delay() const { return FDelay; }
  void SetDelay(uint16_t Value) { FDelay = Value; }

  bool Pressed() const { return FPressed; }

protected:
  virtual void DrawGlyphFace(TRect& R);
  virtual void DrawArrowFace(TRect& R);
  virtual void DrawDropDownFace(TRect& R);
  virtual void DrawGlyph(const TRect& R);
  virtual TSize GetGlyphSize() const;

  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void CMMouseEnter() override;
  void CMMouseLeave() override;
  void CMEnabledChanged() override;

private:
  // Neither pressed nor hot: a flat button shows no frame.
  bool Quiet() const { return !FPressed && !(FHot && Enabled()); }
  // The frame of the classic faces; R becomes the inside. The raised face is RaisedStyle.
  void PaintClassicFrame(TRect& R, TFrameStyleEx RaisedStyle);
  void GlyphChanged();
  void TimerExpired();
  void StopRepeating();

  bool FPressed = false;
  bool FDragging = false;
  bool FFlat = false;
  bool FHot = false;
  std::unique_ptr<TBitmap> FGlyph;
  int32_t FNumGlyphs = 1;
  bool FRepeatClicks = false;
  TTimer* FRepeatTimer = nullptr;
  uint16_t FInitialDelay = 400;
  uint16_t FDelay = 100;
  TKvControlButtonStyle FStyle = cbsNone;
};
