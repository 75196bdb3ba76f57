#pragma once
// Standard controls: the label.

#include <cstdint>
#include <string>

#include "platform/gui/Controls.h"

// A graphic control showing its caption. With AutoSize (the default) it takes the size
// of its text (a right-aligned label keeps its right edge); the text is laid out with
// DrawText: alignment, word wrap, '&' accelerators (unless ShowAccelChar is off), and
// placed at the top, centre or bottom by Layout. A disabled label shows embossed text.
// Alt plus its accelerator focuses FocusControl. Unless Transparent, it fills its area
// with Color first.
class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* AOwner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);
  bool Transparent() const { return !(ControlStyle() & csOpaque); }
  void SetTransparent(bool Value);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);
  void SetAutoSize(bool Value) override;

protected:
  virtual std::string GetLabelText() const { return Caption(); }
  // Draws (or with DT_CALCRECT measures) the label's text in Rect with Flags.
  virtual void DoDrawText(TRect& Rect, uint32_t Flags);
  // With AutoSize, sizes the label to its text.
  virtual void AdjustBounds();
  void Paint() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void CMTextChanged() override;
  void CMFontChanged() override;
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;

private:
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FWordWrap = false;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
};
