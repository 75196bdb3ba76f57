#pragma once
// Panels and toolbars.
//
// TKvPanel is a container with a two-part border (an outer and an inner frame style on
// chosen sides, a border of BorderWidth between them), a flat or gradient client area,
// transparency over its parent, a dot or line grid, a caption with alignment and
// margins, and a memory of its children's enabled states: disabling the panel records
// each child's own state and disables it; enabling the panel enables the children that
// were enabled (or came since) and leaves disabled the ones that already were. Children
// are aligned inside the borders.
//
// TKvGroupBox draws a captioned group frame in one of six styles (gsCustom paints as a
// panel).
//
// TKvToolbar lays its controls out in rows (horizontal) or columns (vertical) in an
// order of its own (the creation order at loading, later arrivals at the end), sizes
// itself to them, pushes its button size, caption visibility, image layout and look to
// its tool buttons, tiles a background bitmap, and, when its controls do not fit on
// one unwrapped row, shows an overflow button whose popup holds copies of the tool
// buttons that are cut off. Clicking a copy clicks the original once.
//
// The visual-style looks are not in use on this platform: vsWinXP paints as vsClassic.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "widgets/KvCommon.h"
#include "widgets/KvFrameController.h"

enum TKvGridStyle : uint8_t { gsDots, gsDottedLines, gsSolidLines };

class TKvCustomPanel : public TCustomPanel, public IKvFrameControllerNotify, public IKvTransparentControl {
public:
  explicit TKvCustomPanel(TComponent* AOwner);

  TAlignmentVertical AlignmentVertical() const { return FAlignmentVertical; }
  void SetAlignmentVertical(TAlignmentVertical Value);
  TFrameStyleEx BorderInner() const { return FBorder.Inner; }
  virtual void SetBorderInner(TFrameStyleEx Value);
  TFrameStyleEx BorderOuter() const { return FBorder.Outer; }
  virtual void SetBorderOuter(TFrameStyleEx Value);
  TSides BorderSides() const { return FBorder.Sides; }
  virtual void SetBorderSides(TSides Value);
  TColor BorderColor() const { return FBorder.BorderColor; }
  void SetBorderColor(TColor Value);
  TColor BorderHighlight() const { return FBorder.HighlightColor; }
  void SetBorderHighlight(TColor Value);
  TColor BorderShadow() const { return FBorder.ShadowColor; }
  void SetBorderShadow(TColor Value);
  // The colour of the flat frame styles, lightened (or darkened) by the adjustment.
  TColor FlatColor() const { return FBorder.FlatColor; }
  void SetFlatColor(TColor Value);
  int32_t FlatColorAdjustment() const { return FBorder.FlatColorAdjustment; }
  void SetFlatColorAdjustment(int32_t Value);
  bool PaintClientArea() const { return FPaintClientArea; }
  void SetPaintClientArea(bool Value);
  // vsGradient fills the client area with a gradient.
  TKvVisualStyle VisualStyle() const { return FVisualStyle; }
  virtual void SetVisualStyle(TKvVisualStyle Value);
  // gcsCustom takes GradientColorStart and GradientColorStop.
  TKvGradientColorStyle GradientColorStyle() const { return FGradientColorStyle; }
  virtual void SetGradientColorStyle(TKvGradientColorStyle Value);
  TColor GradientColorStart() const { return FGradientColorStart; }
  void SetGradientColorStart(TColor Value);
  TColor GradientColorStop() const { return FGradientColorStop; }
  void SetGradientColorStop(TColor Value);
  TGradientDirection GradientDirection() const { return FGradientDirection; }
  void SetGradientDirection(TGradientDirection Value);
  TColor GridColor() const { return FGridColor; }
  void SetGridColor(TColor Value);
  TKvGridStyle GridStyle() const { return FGridStyle; }
  void SetGridStyle(TKvGridStyle Value);
  // Grid spacing; 0 leaves out the lines across that axis.
  uint16_t GridXSize() const { return FGridXSize; }
  void SetGridXSize(uint16_t Value);
  uint16_t GridYSize() const { return FGridYSize; }
  void SetGridYSize(uint16_t Value);
  bool ShowGrid() const { return FShowGrid; }
  void SetShowGrid(bool Value);
  // Shows the parent through the client area (and through the frames' gaps).
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  bool IsTransparent() const override { return FTransparent; }
  // Insets of the caption, horizontal and vertical.
  int32_t TextMargin() const { return FTextMargin; }
  void SetTextMargin(int32_t Value);
  int32_t TextMarginVertical() const { return FTextMarginVertical; }
  void SetTextMarginVertical(int32_t Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

  TKvFrameController* FrameController() const { return FFrameLink.Controller(); }
  void SetFrameController(TKvFrameController* Value) { FFrameLink.SetController(Value); }
  TKvFrameControllerNotifications FrameControllerNotifications() const { return FFrameLink.Notifications(); }
  void SetFrameControllerNotifications(TKvFrameControllerNotifications Value) { FFrameLink.SetNotifications(Value); }
  // Takes the controller's frame style, sides and colours while its frame is visible.
  void FrameControllerChanged() override;

  // Aligned to the bottom (right), a change of height (width) keeps the bottom (right)
  // edge where it is. Without FullRepaint, a captioned panel that changes size repaints
  // only the strips along its right and bottom edges that its frames move through.
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  // Raised after the panel painted itself.
  TNotifyEvent OnPaint;

protected:
  // R moved in by the frames on BorderSides, and first by BorderWidth on every side
  // when IncludeBorderWidth.
  virtual void AdjustBorderRect(TRect& R, bool IncludeBorderWidth) const;
  // How far inside the borders the strips repainted after a change of size begin.
  virtual void GetResizeRepaintMargin(TPoint& Margin) const;
  // GradientColorStart and GradientColorStop for gcsCustom, else the style's colours.
  virtual void GetGradientColors(TColor& Start, TColor& Stop) const;
  // The flat frame colour and its adjustment: the style's frame colour (unadjusted) in
  // the gradient look with a style other than gcsCustom, else FlatColor.
  virtual void GetFlatColors(TColor& Color, int32_t& Adjustment) const;
  virtual void DrawCaption(const TRect& R);
  virtual void DrawGrid(const TRect& R);
  // The border routine's settings as they stand.
  TControlBorder BorderSettings() const;

  void Paint() override;
  void AdjustClientRect(TRect& Rect) override;
  void WMEraseBkgnd(TCanvas* Canvas) override;
  void CMEnabledChanged() override;
  void CMControlChange(TControl* Control, bool Inserting) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Stores a changed value and asks for a paint.
  template <class T>
  bool Change(T& Field, T Value);

private:
  TControlBorder FBorder{.Outer = fsRaised, .FlatColorAdjustment = 30};
  TAlignmentVertical FAlignmentVertical = avCenter;
  bool FPaintClientArea = true;
  TKvVisualStyle FVisualStyle = vsWinXP;
  TKvGradientColorStyle FGradientColorStyle = gcsSystem;
  TColor FGradientColorStart = clWhite;
  TColor FGradientColorStop = clBtnFace;
  TGradientDirection FGradientDirection = gdHorizontalEnd;
  TColor FGridColor = clBtnShadow;
  TKvGridStyle FGridStyle = gsDots;
  uint16_t FGridXSize = 8;
  uint16_t FGridYSize = 8;
  bool FShowGrid = false;
  bool FTransparent = false;
  int32_t FTextMargin = 0;
  int32_t FTextMarginVertical = 0;
  bool FWordWrap = true;
  // The children's own enabled states, recorded when the panel was disabled.
  std::vector<std::pair<TControl*, bool>> FChildStates;
  TKvFrameControllerLink FFrameLink{this};
};

class TKvPanel : public TKvCustomPanel {
public:
  using TKvCustomPanel::TKvCustomPanel;
};

// ---------------------------------------------------------------------------

enum TKvGroupBoxStyle : uint8_t { gsStandard, gsCustom, gsTopLine, gsFlat, gsBanner, gsUnderline };

// The caption sits on the frame's top line (gsStandard, gsFlat), above a line
// (gsTopLine), in a gradient banner (gsBanner) or over an underline (gsUnderline);
// children are aligned below it. A transparent group box leaves the frame out behind
// the caption. Alt plus the caption's accelerator focuses the first child.
class TKvCustomGroupBox : public TKvCustomPanel {
public:
  explicit TKvCustomGroupBox(TComponent* AOwner);

  TKvGroupBoxStyle GroupStyle() const { return FGroupStyle; }
  virtual void SetGroupStyle(TKvGroupBoxStyle Value);
  // Only gsCustom follows a frame controller.
  void FrameControllerChanged() override;

protected:
  void AdjustClientRect(TRect& Rect) override;
  void Paint() override;
  bool CMDialogChar(char32_t Char, TShiftState Shift) override;
  void CMFontChanged() override;

private:
  // Where the caption goes; empty without a caption (and for gsCustom).
  TRect CaptionRect(int32_t TextWidth, int32_t TextHeight) const;
  void PaintGroupFrame(TCanvas* C, const TRect& Caption, int32_t TextHeight);

  TKvGroupBoxStyle FGroupStyle = gsFlat;
};

class TKvGroupBox : public TKvCustomGroupBox {
public:
  using TKvCustomGroupBox::TKvCustomGroupBox;
};

// ---------------------------------------------------------------------------

enum TKvToolbarTextOptions : uint8_t { ttoNoTextLabels, ttoShowTextLabels, ttoSelectiveTextOnRight, ttoCustom };

class TKvToolbarPopupButton;

class TKvToolbar : public TKvCustomPanel {
public:
  explicit TKvToolbar(TComponent* AOwner);
  ~TKvToolbar() override;
  void Loaded() override;

  // Sizes the toolbar to its rows (the height) or its columns (the width); never on a
  // page scroller or a toolbar of the class library, which size their children.
  bool AutoResize() const { return FAutoResize; }
  virtual void SetAutoResize(bool Value);
  void SetParent(TWinControl* AParent) override;
  // Puts the divider (a groove) on the edge given by Align; setting a border yourself
  // turns it off.
  bool AutoStyle() const { return FAutoStyle; }
  void SetAutoStyle(bool Value) { FAutoStyle = Value; }
  // Tiled behind the controls, inside the borders (a copy is kept).
  const TBitmap* Background() const { return FBackground.get(); }
  virtual void SetBackground(const TBitmap* Value);
  // The images of tool buttons that have none of their own (not owned).
  TCustomImageList* Images() const { return FImages; }
  virtual void SetImages(TCustomImageList* Value);
  TOrientation Orientation() const { return FOrientation; }
  virtual void SetOrientation(TOrientation Value);
  // The height of a row, or the width of a column when vertical.
  int32_t RowHeight() const { return FRowHeight; }
  virtual void SetRowHeight(int32_t Value);
  bool ShowDivider() const { return FShowDivider; }
  virtual void SetShowDivider(bool Value);
  // Pushed to the tool buttons; setting one of these four yourself makes TextOptions
  // ttoCustom.
  bool ShowButtonCaptions() const { return FShowButtonCaptions; }
  virtual void SetShowButtonCaptions(bool Value);
  TButtonLayout ButtonLayout() const { return FButtonLayout; }
  virtual void SetButtonLayout(TButtonLayout Value);
  int32_t ButtonWidth() const { return FButtonWidth; }
  virtual void SetButtonWidth(int32_t Value);
  int32_t ButtonHeight() const { return FButtonHeight; }
  virtual void SetButtonHeight(int32_t Value);
  // Presets of the four above and RowHeight; ttoCustom keeps them.
  TKvToolbarTextOptions TextOptions() const { return FTextOptions; }
  virtual void SetTextOptions(TKvToolbarTextOptions Value);
  // Starts a new row (column) for a control that does not fit; without it, controls
  // that do not fit are offered by the overflow button.
  bool WrapControls() const { return FWrapControls; }
  virtual void SetWrapControls(bool Value);
  // Room before the first control of a row and at the far end.
  int32_t Margin() const { return FMargin; }
  virtual void SetMargin(int32_t Value);
  // Room above the first row.
  int32_t TopMargin() const { return FTopMargin; }
  virtual void SetTopMargin(int32_t Value);
  // ShowButtonCaptions, ButtonWidth, ButtonHeight, and RowHeight from the orientation.
  void SetButtonSize(int32_t AWidth, int32_t AHeight, bool ShowCaptions);

  void SetAlign(TAlign Value) override;
  void SetBorderInner(TFrameStyleEx Value) override;
  void SetBorderOuter(TFrameStyleEx Value) override;
  void SetBorderSides(TSides Value) override;
  void SetVisualStyle(TKvVisualStyle Value) override;
  void SetGradientColorStyle(TKvGradientColorStyle Value) override;

  // Places the listed controls and, with AutoResize, sizes the toolbar.
  virtual void PositionControls();
  // The controls in layout order.
  int32_t ToolbarControlCount() const { return static_cast<int32_t>(FControlList.size()); }
  TControl* ToolbarControls(int32_t Index) const { return FControlList.at(static_cast<size_t>(Index)); }
  // Whether the controls overflow an unwrapped horizontal toolbar (the overflow button
  // shows), and the button once made.
  bool OverflowShown() const { return FOverflowShown; }
  TKvToolbarPopupButton* OverflowButton() const { return FOverflowButton; }

  // Raised after the toolbar was shown or hidden.
  TNotifyEvent OnVisibleChanged;

  // The colours of GetGradientColors, for the overflow button.
  void GradientColors(TColor& Start, TColor& Stop) const { GetGradientColors(Start, Stop); }

protected:
  virtual int32_t GetRowOffset(int32_t Row) const;
  virtual void PositionControl(int32_t Index, int32_t Row, int32_t& Pos);
  virtual void ApplyAutoStyle(TAlign Value);
  // Turns Value off when the parent's class is TPageScroller or TToolbar.
  virtual void CheckAutoResize(bool& Value) const;

  void DrawCaption(const TRect&) override {}
  // Wide enough for the overflow button while it shows.
  void GetResizeRepaintMargin(TPoint& Margin) const override;
  void Paint() override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void CMControlChange(TControl* Control, bool Inserting) override;
  void CMVisibleChanged() override;
  void CMBiDiModeChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  bool Listed(const TControl* Control) const;
  // The four button settings: store, tell the controls, and leave the presets.
  template <class T>
  void ChangeButtonSetting(T& Field, T Value, uint32_t Message);
  // What follows a change of a button setting told with Message.
  void ButtonSettingChanged(uint32_t Message);
  void PlaceOverflowButton();

  bool FAutoResize = true;
  bool FAutoStyle = true;
  std::unique_ptr<TBitmap> FBackground;
  TCustomImageList* FImages = nullptr;
  std::unique_ptr<TChangeLink> FImageLink;
  TOrientation FOrientation = orHorizontal;
  int32_t FRowHeight = 25;
  bool FShowDivider = true;
  bool FShowButtonCaptions = false;
  TButtonLayout FButtonLayout = blGlyphLeft;
  int32_t FButtonWidth = 25;
  int32_t FButtonHeight = 25;
  TKvToolbarTextOptions FTextOptions = ttoNoTextLabels;
  bool FTextOptionsChanging = false;
  bool FWrapControls = true;
  int32_t FMargin = 4;
  int32_t FTopMargin = 2;
  int32_t FRowOffset = 25;
  bool FPositioning = false;
  TKvToolbarPopupButton* FOverflowButton = nullptr;
  bool FOverflowShown = false;
  std::vector<TControl*> FControlList;
  // The children that came while loading, in the order they came.
  std::vector<TControl*> FArrivals;
};

// The overflow button at the right end of an unwrapped horizontal toolbar: a chevron
// that pops up a toolbar with copies of the tool buttons that do not fit.
class TKvToolbarPopupButton : public TCustomControl {
public:
  explicit TKvToolbarPopupButton(TKvToolbar* AToolbar);

  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor Value);
  // Shows the popup and runs it until it closes; a copy clicked in it clicks its
  // original afterwards.
  void ShowPopup();
  // A copy was clicked (and is Down now): remembers its original and closes the popup.
  void Choose(class TKvToolButton* Source, bool Down);
  // The popup panel while the popup is up.
  class TKvPopupPanel* PopupPanel() const { return FPanel; }

protected:
  void Paint() override;
  void WMEraseBkgnd(TCanvas*) override {}
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

private:
  TKvToolbar* FToolbar;
  TColor FFrameColor = clBtnShadow;
  bool FTracking = false;
  bool FPressed = false;
  TKvToolButton* FChosen = nullptr;
  bool FChosenDown = false;
  class TKvPopupPanel* FPanel = nullptr;
};
