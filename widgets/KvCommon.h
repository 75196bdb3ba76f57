#pragma once
// The widget library's shared unit: the enumerations every control publishes, the
// colour routines that derive shades from one base colour, the frame and border
// painters, the pixel glyphs, font and caption helpers, monitor queries and the one
// process-wide list of blinking controls. Everything runs on the GUI thread.
//
// Visual styles are never in use on this platform (platform/gui/Themes.h), so the
// themed looks are not built: glyphs are always drawn in the classic style and the
// "Office" colour sets fall back to the system colours.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"

class TTimer;

// ---------------------------------------------------------------------------
// Enumerations

enum TAlignmentVertical : uint8_t { avTop, avCenter, avBottom };
enum TTextStyle : uint8_t { tsNormal, tsRaised, tsRecessed, tsShadow };
enum TOrientation : uint8_t { orHorizontal, orVertical };
enum TBarStyle : uint8_t { bsTraditional, bsLED, bsGradient };
// TFrameStyle is the range fsNone..fsFlatBold; fsFlatRounded is drawn only by
// PaintControlBorder (labels and progress bars).
enum TFrameStyleEx : uint8_t {
  fsNone, fsFlat, fsGroove, fsBump, fsLowered, fsButtonDown, fsRaised, fsButtonUp, fsStatus, fsPopup,
  fsFlatBold, fsFlatRounded
};
using TFrameStyle = TFrameStyleEx;
enum TFramingPreference : uint8_t { fpCustomFraming, fpXPThemes };
enum TGradientDirection : uint8_t {
  gdDiagonalUp, gdDiagonalDown, gdHorizontalEnd, gdHorizontalCenter, gdHorizontalBox, gdVerticalEnd,
  gdVerticalCenter, gdVerticalBox, gdSquareBox, gdBigSquareBox
};
enum TSide : uint8_t { sdLeft, sdTop, sdRight, sdBottom };
// A set of sides, also the mask the painters take: left 1, top 2, right 4, bottom 8.
using TSides = uint8_t;
enum : TSides { sdsLeft = 1, sdsTop = 2, sdsRight = 4, sdsBottom = 8, sdsAll = 15 };
constexpr TSides SideSet(TSide Side) { return static_cast<TSides>(1u << Side); }

enum TKvHotTrackColorType : uint8_t { htctComplement, htctActual };
enum TKvAboutInfo : uint8_t { aiKavoComponents };
enum TKvGradientColorStyle : uint8_t { gcsSystem, gcsMSOffice, gcsCustom };
enum TKvVisualStyle : uint8_t { vsClassic, vsWinXP, vsGradient };
enum TKvButtonHotTrackStyle : uint8_t { htsInterior, htsFrame };
// Where a button's picture stands beside its caption.
enum TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// The settings a frame controller pushes to its controls; the first sixteen are also
// the bits of a control's notification set.
enum TKvFrameControllerProperty : uint8_t {
  fcpColor, fcpFocusColor, fcpDisabledColor, fcpReadOnlyColor, fcpReadOnlyColorOnFocus, fcpParentColor,
  fcpFlatButtonColor, fcpFlatButtons, fcpFrameColor, fcpFrameHotColor, fcpFrameHotTrack, fcpFrameHotStyle,
  fcpFrameSides, fcpFrameStyle, fcpFrameVisible, fcpFramingPreference, fcpAll
};
using TKvFrameControllerPropertyConnection = TKvFrameControllerProperty;  // fcpColor..fcpFramingPreference
using TKvFrameControllerNotifications = uint16_t;
constexpr TKvFrameControllerNotifications fcnAll = 0xFFFF;
constexpr TKvFrameControllerNotifications NotificationBit(TKvFrameControllerProperty P) {
  return static_cast<TKvFrameControllerNotifications>(1u << P);
}

enum TKvPathType : uint8_t { ptIniFile, ptRegistry };
enum TKvRegKey : uint8_t {
  hkeyClassesRoot, hkeyCurrentUser, hkeyLocalMachine, hkeyUsers, hkeyPerformanceData, hkeyCurrentConfig,
  hkeyDynData
};
enum TKvRegAccessKey : uint8_t {
  keyQueryValue, keySetValue, keyCreateSubKey, keyEnumerateSubKeys, keyNotify, keyCreateLink, keyRead,
  keyWrite, keyExecute, keyAllAccess
};
using TKvRegAccess = uint16_t;  // bit n: TKvRegAccessKey n

// ---------------------------------------------------------------------------
// Colour routines. Hue, saturation and luminance run from 0 to 240; every routine
// first turns a system colour into its RGB value.

void RgbToHlsValues(TColor Color, uint8_t& Hue, uint8_t& Saturation, uint8_t& Luminance);
TColor HlsValuesToRgb(uint8_t Hue, uint8_t Saturation, uint8_t Luminance);
uint8_t HueOfColor(TColor Color);
// Luminance lowered by Amount (not below 0) or raised by it (capped at 255, which is
// white from 240 up); hue and saturation stay.
TColor DimColor(TColor Color, uint8_t Amount);
TColor BrightenColor(TColor Color, uint8_t Amount);
// Dims for a negative amount, brightens for a positive one, both by at most 255;
// returns Color itself (not converted) for 0.
TColor AdjustLuminance(TColor Color, int32_t Amount);
// Weight 255 gives A, 0 gives B.
TColor MixColors(TColor A, TColor B, uint8_t Weight);
// Hues closer than 20 and luminances closer than 60.
bool SimilarColors(TColor A, TColor B);
// The hue half way round the circle, fully saturated, at Luminance.
TColor OppositeHueColor(TColor Color, uint8_t Luminance);
// A theme element's colour; clBtnFace while visual styles are off (always, here).
TColor ThemeElementColor(int32_t Index);

// The two facts about the display, taken once. There is no Windows XP colour scheme
// here (always 0, the default scheme); the screen has more than 256 colours unless a
// test says otherwise.
uint8_t ReadXPColorScheme();
bool ScreenHasHighColor();
uint8_t XPColorScheme();
bool HighColorScreen();
// For tests of the 256-colour branches.
void SetHighColorScreen(bool Value);

void SelectionColorsByStyle(TKvGradientColorStyle Style, TColor& Frame, TColor& Start, TColor& Stop);
void GradientColorsByStyle(TKvGradientColorStyle Style, TColor& Start, TColor& Stop);
TColor FrameColorByStyle(TKvGradientColorStyle Style);
void GroupColorsByStyle(TKvGradientColorStyle Style, TColor& First, TColor& Second, TColor& Third);

inline int32_t IntMin(int32_t A, int32_t B) { return A < B ? A : B; }
inline int32_t IntMax(int32_t A, int32_t B) { return A > B ? A : B; }
// A rectangle of Width x Height centred in R (halves rounded toward zero).
TRect CenterSizeInRect(const TRect& R, int32_t Width, int32_t Height);

// ---------------------------------------------------------------------------
// Frames. Each painter draws inside R on the sides of the mask and returns the
// rectangle left inside what it drew, so frames chain from the outside in. A colour
// of clNone skips the sides of that colour (the rectangle still shrinks). Lines leave
// out their end points, as the canvas does.

// R moved in by By on the sides of the mask.
TRect InsetSides(TRect R, TSides Sides, int32_t By);
// Left and top in TopLeft, right and bottom in BottomRight, with the caller's pen width.
TRect PaintRectSides(TCanvas* Canvas, TRect R, TColor TopLeft, TSides Sides, TColor BottomRight);
// Width one-pixel passes, each inside the previous one.
TRect PaintRectSidesN(TCanvas* Canvas, TRect R, TColor TopLeft, TSides Sides, int32_t Width, TColor BottomRight);
// Kind 0 raised, 1 sunken.
TRect PaintEdgeBevel(TCanvas* Canvas, TRect R, int32_t Kind, TSides Sides);
// Kind 0 up, 1 down.
TRect PaintButtonBevel(TCanvas* Canvas, TRect R, int32_t Kind, TSides Sides);
TRect PaintButtonBevelRect(TCanvas* Canvas, TRect R, int32_t Kind);
// A button bevel in shades of Color.
TRect PaintColorBevel(TCanvas* Canvas, TRect R, TColor Color, TSides Sides, bool Pressed);
TRect PaintColorBevelRect(TCanvas* Canvas, TRect R, TColor Color, bool Pressed);
// Any style but fsFlatRounded (which only PaintControlBorder draws).
TRect PaintStyledFrame(TCanvas* Canvas, TRect R, TFrameStyleEx Style, TSides Sides);
TRect PaintStyledFrameRect(TCanvas* Canvas, TRect R, TFrameStyleEx Style);
// The styles in shades of Color.
TRect PaintColoredStyledFrame(TCanvas* Canvas, TRect R, TColor Color, TSides Sides, TFrameStyleEx Style);
TRect PaintColoredStyledFrameRect(TCanvas* Canvas, TRect R, TColor Color, TFrameStyleEx Style);
TRect PaintOutlineBox(TCanvas* Canvas, TRect R, TColor Color);
// Fills R in Color with a solid brush, which keeps that colour and style afterwards.
void FillSolidRect(TCanvas* Canvas, const TRect& R, TColor Color);
// Only the four corners, each an L of Length pixels.
TRect PaintCornerMarks(TCanvas* Canvas, TRect R, TColor Color, int32_t Length);
// Every second pixel of the outline in black.
TRect PaintDottedFocus(TCanvas* Canvas, TRect R);
// Sides that stop two pixels short of their neighbours, with a pixel in each such corner.
TRect PaintRoundedSides(TCanvas* Canvas, TRect R, TColor Color, TSides Sides);

struct TControlBorder {
  TFrameStyleEx Outer = fsNone;
  bool CornerlessInnerFlat = false;
  bool Transparent = false;
  TColor ParentColor = clBtnFace;
  TColor ControlColor = clBtnFace;
  int32_t FlatColorAdjustment = 0;
  TColor FlatColor = clBtnShadow;
  TColor ShadowColor = clBtnShadow;
  TColor HighlightColor = clBtnHighlight;
  TColor BorderColor = clBtnFace;
  int32_t BevelWidth = 1;
  TSides Sides = sdsAll;
  int32_t BorderWidth = 0;
  TFrameStyleEx Inner = fsNone;
};
// The border of labels, panels and progress bars: outer style, border of BorderWidth,
// inner style. Returns the interior.
TRect PaintControlBorder(TCanvas* Canvas, TRect R, const TControlBorder& Border);
// How far a style of PaintControlBorder reaches in on one side.
int32_t FrameStyleInset(TFrameStyleEx Style, int32_t BevelWidth);
// The frame of edit-like controls over (0, 0, Width, Height): unless SkipClearing, a
// two-pixel ring in ControlColor first.
void PaintEditFrame(TCanvas* Canvas, int32_t Width, int32_t Height, bool SkipClearing, TSides Sides,
                    TColor FrameColor, TColor ControlColor, TFrameStyleEx Style);
// Repaints the frame band of a control (its R part).
void RedrawNonClientFrame(TWinControl* Control, const TRect& R);

// Implemented by controls with a Transparent setting, so that code can ask without
// knowing the class. Labels are asked through the class library's label.
class IKvTransparentControl {
public:
  virtual ~IKvTransparentControl() = default;
  virtual bool IsTransparent() const = 0;
};
void InvalidateTransparentChildren(TWinControl* Control);

// ---------------------------------------------------------------------------
// Glyphs. The glyph colour is black, or clBtnShadow when disabled. XPStyle asks for
// the themed glyphs, which need visual styles: they are drawn in the classic style.

void PaintDropDownArrow(TCanvas* Canvas, const TRect& R, bool XPStyle, bool Enabled, bool Pressed);
// Direction 0 up, 1 down, 2 left, 3 right.
void PaintArrowButton(TCanvas* Canvas, const TRect& R, bool XPStyle, bool Enabled, bool Pressed, int32_t Direction);
void PaintCloseButton(TCanvas* Canvas, const TRect& R, bool XPStyle, bool Enabled, bool Pressed);
// A two-pixel gradient ring along R's edge; only on a high-colour screen.
void PaintGradientRing(TCanvas* Canvas, const TRect& R, TGradientDirection Direction, TColor EndColor,
                       TColor StartColor);

// The colours and state of the check-box and radio-button glyphs.
struct TGlyphColors {
  TColor AlternateFill = clWindow;
  bool Flag1 = false;  // with Flag2: focused glyphs take the alternate fill
  bool Flag2 = false;  // unfocused glyphs take the alternate fill
  TColor Hot1 = clNone;
  TColor Hot2 = clNone;
  TColor DisabledFill = clBtnFace;
  TColor FocusedFill = clWindow;
  TColor UnfocusedFill = clWindow;
  TColor Mark = clWindowText;
  TColor Frame = clBtnShadow;
  int32_t HotStyle = 0;  // 0 gradient ring, 1 hot frame
  bool Focused = false;
};
enum TGlyphDrawState : uint8_t { gdsNormal, gdsDown, gdsHot, gdsDisabled };

// State 0 unchecked, 1 checked, 2 grayed.
void PaintCheckBoxGlyph(TCanvas* Canvas, const TRect& R, int32_t State, const TGlyphColors& Colors,
                        TGlyphDrawState DrawState);
// A 13 x 13 glyph drawn at R's top-left. Outside the circle it shows TransparentKey
// when Transparent, else ControlColor.
void PaintRadioButtonGlyph(TCanvas* Canvas, const TRect& R, bool Checked, const TGlyphColors& Colors,
                           TColor TransparentKey, bool Transparent, TColor ControlColor, TGlyphDrawState DrawState);

// ---------------------------------------------------------------------------
// Fonts and captions

// A copy of Font turned by Angle degrees (counter-clockwise).
std::unique_ptr<TFont> MakeRotatedFont(const TFont* Font, int32_t Angle);
// Scalable fonts count as TrueType (they can be turned).
bool IsTrueTypeFont(const TFont* Font);
// The font's text height plus 2.
int32_t FontLineHeight(const TFont* Font);
// "&&" becomes "&", a "&" before another character goes, a final "&" stays.
std::string StripAccelerators(const std::string& Caption);

// ---------------------------------------------------------------------------
// System

// Whether the system is the Windows version of Index (0 Windows 95 ... 7 Vista): never
// on this platform.
bool OSVersionIs(int32_t Index);
TRect ControlMonitorWorkArea(const TWinControl* Control);
int32_t ControlMonitorWorkWidth(const TWinControl* Control);
TRect MonitorWorkArea(const TMonitor& Monitor);
TRect MonitorBoundsRect(const TMonitor& Monitor);
// The first monitor whose full rectangle holds P; none for a point outside every monitor.
std::optional<TMonitor> MonitorAtPoint(const TPoint& P);

// Beeps of the controls (an invalid key, a search that finds nothing). All of them go
// through one hook, the system's beep unless a test counts them instead.
using TKvBeepHook = std::function<void()>;
void KvMessageBeep();
// Returns the hook it replaces; an empty hook restores the system's beep.
TKvBeepHook SetKvBeepHook(TKvBeepHook Hook);

// ---------------------------------------------------------------------------
// Blinking. One list for the process, made on first use: its timer alternates the
// phase (on for the on interval, off for the off interval) and on each tick asks every
// listed control CM_QUERYBLINKING; those that answer 1 get CM_BLINK with the new
// phase (1 on, 0 off). The intervals are shared by all blinking controls.

enum : uint32_t {
  CM_QUERYBLINKING = CM_BASE + 1000,
  CM_BLINK = CM_BASE + 1001,
  CM_TOOLBARSHOWCAPTIONS = CM_BASE + 1002,
  CM_TOOLBARBUTTONLAYOUT = CM_BASE + 1003,
  CM_TOOLBARBUTTONSIZE = CM_BASE + 1004,
  CM_TOOLBARVISUALSTYLE = CM_BASE + 1005,
};

class TKvBlinkingControlsList {
public:
  TKvBlinkingControlsList();
  ~TKvBlinkingControlsList();
  TKvBlinkingControlsList(const TKvBlinkingControlsList&) = delete;
  TKvBlinkingControlsList& operator=(const TKvBlinkingControlsList&) = delete;

  void Add(TControl* Control);
  void Remove(TControl* Control);
  int32_t Count() const { return static_cast<int32_t>(FControls.size()); }
  bool Phase() const { return FPhase; }
  uint16_t OffInterval() const { return FOffInterval; }
  void SetOffInterval(uint16_t Value) { FOffInterval = Value; }
  uint16_t OnInterval() const { return FOnInterval; }
  void SetOnInterval(uint16_t Value) { FOnInterval = Value; }
  uint32_t TimerInterval() const;

  void TimerTick();

private:
  bool FPhase = true;
  std::vector<TControl*> FControls;
  std::unique_ptr<TTimer, TComponentDeleter> FTimer;
  uint16_t FOffInterval = 500;
  uint16_t FOnInterval = 500;
};

// The process-wide list, made when first asked for.
TKvBlinkingControlsList* BlinkingControlsList();
// Whether the list exists now (without making it).
bool BlinkingControlsListExists();
// Frees the list when no control is listed.
void FreeBlinkingListIfEmpty();
