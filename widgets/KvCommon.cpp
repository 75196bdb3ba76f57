// KvCommon: colour routines, fonts and captions, system queries and the blinking list.
// The frame painters are in KvCommonFrames.cpp, the glyphs in KvCommonGlyphs.cpp.
#include "widgets/KvCommon.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Themes.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------
// Colours

namespace {

// The HLS scale of the routines: 0 to 240.
constexpr double HlsMax = 240.0;

uint8_t ToHlsByte(double V) { return static_cast<uint8_t>(std::clamp<int64_t>(Round(HlsMax * V), 0, 255)); }

uint8_t ToChannel(double V) {
  return static_cast<uint8_t>(std::clamp<int64_t>(Round(255.0 * std::min(V, 1.0)), 0, 255));
}

TColor WithLuminance(TColor Color, int32_t Luminance) {
  uint8_t H, S, L;
  RgbToHlsValues(Color, H, S, L);
  return HlsValuesToRgb(H, S, static_cast<uint8_t>(std::clamp(Luminance, 0, 255)));
}

bool HighColor = true;

}  // namespace

void RgbToHlsValues(TColor Color, uint8_t& Hue, uint8_t& Saturation, uint8_t& Luminance) {
  const TColor C = ColorToRGB(Color);
  const double R = GetRValue(C) / 255.0, G = GetGValue(C) / 255.0, B = GetBValue(C) / 255.0;
  const double Max = std::max({R, G, B}), Min = std::min({R, G, B});
  const double L = (Max + Min) / 2;
  double H = 0, S = 0;
  if (Max != Min) {
    const double D = Max - Min;
    S = L < 0.5 ? D / (Max + Min) : D / (2 - Max - Min);
    if (R == Max)
      H = (G - B) / D;
    else if (G == Max)
      H = 2 + (B - R) / D;
    else
      H = 4 + (R - G) / D;
    H /= 6;
    if (H < 0) H += 1;
  }
  Hue = ToHlsByte(H);
  Saturation = ToHlsByte(S);
  Luminance = ToHlsByte(L);
}

TColor HlsValuesToRgb(uint8_t Hue, uint8_t Saturation, uint8_t Luminance) {
  // The hue is divided by 239, not 240: hue 239 comes round to hue 0 (sextant 6).
  const double H = Hue / 239.0, S = Saturation / HlsMax, L = Luminance / HlsMax;
  const double V = L < 0.5 ? L * (1 + S) : L + S - L * S;
  double R = 0, G = 0, B = 0;
  if (V > 0) {
    const double M = 2 * L - V;
    const double SV = (V - M) / V;
    const double H6 = 6 * H;
    const int Sextant = static_cast<int>(H6);
    const double VSF = V * SV * (H6 - Sextant);
    const double Mid1 = M + VSF, Mid2 = V - VSF;
    switch (Sextant) {
      case 1: R = Mid2; G = V; B = M; break;
      case 2: R = M; G = V; B = Mid1; break;
      case 3: R = M; G = Mid2; B = V; break;
      case 4: R = Mid1; G = M; B = V; break;
      case 5: R = V; G = M; B = Mid2; break;
      default: R = V; G = Mid1; B = M; break;
    }
  }
  return RGB(ToChannel(R), ToChannel(G), ToChannel(B));
}

uint8_t HueOfColor(TColor Color) {
  uint8_t H, S, L;
  RgbToHlsValues(Color, H, S, L);
  return H;
}

TColor DimColor(TColor Color, uint8_t Amount) {
  uint8_t H, S, L;
  RgbToHlsValues(Color, H, S, L);
  return WithLuminance(Color, L - Amount);
}

TColor BrightenColor(TColor Color, uint8_t Amount) {
  uint8_t H, S, L;
  RgbToHlsValues(Color, H, S, L);
  return WithLuminance(Color, L + Amount);
}

TColor AdjustLuminance(TColor Color, int32_t Amount) {
  // Amounts beyond a byte are taken as the whole range rather than wrapped.
  if (Amount < 0) return DimColor(Color, static_cast<uint8_t>(std::min(-static_cast<int64_t>(Amount), int64_t{255})));
  if (Amount > 0) return BrightenColor(Color, static_cast<uint8_t>(std::min(Amount, 255)));
  return Color;
}

TColor MixColors(TColor A, TColor B, uint8_t Weight) {
  const TColor CA = ColorToRGB(A), CB = ColorToRGB(B);
  const float F = Weight / 255.0f;
  auto Mix = [F](uint8_t X, uint8_t Y) {
    return static_cast<uint8_t>(std::clamp<int64_t>(Round(static_cast<double>(X * F + Y * (1 - F))), 0, 255));
  };
  return RGB(Mix(GetRValue(CA), GetRValue(CB)), Mix(GetGValue(CA), GetGValue(CB)), Mix(GetBValue(CA), GetBValue(CB)));
}

bool SimilarColors(TColor A, TColor B) {
  uint8_t HA, SA, LA, HB, SB, LB;
  RgbToHlsValues(A, HA, SA, LA);
  RgbToHlsValues(B, HB, SB, LB);
  return std::abs(HA - HB) < 20 && std::abs(LA - LB) < 60;
}

TColor OppositeHueColor(TColor Color, uint8_t Luminance) {
  const int32_t H = HueOfColor(Color);
  return HlsValuesToRgb(static_cast<uint8_t>(H < 120 ? H + 120 : H - 120), 240, Luminance);
}

TColor ThemeElementColor(int32_t) {
  // The element colours come from the visual-style engine, which is never in use here.
  return clBtnFace;
}

uint8_t ReadXPColorScheme() {
  // The scheme name lives in the Windows registry; everything else is scheme 0.
  return 0;
}

bool ScreenHasHighColor() {
  // Linux desktops draw in true colour; no palette-based screen is supported.
  return true;
}

uint8_t XPColorScheme() {
  static const uint8_t Scheme = ReadXPColorScheme();
  return Scheme;
}

bool HighColorScreen() { return HighColor; }
void SetHighColorScreen(bool Value) { HighColor = Value; }

// The "Office" colour sets need visual styles, so every style takes the system colours.
void SelectionColorsByStyle(TKvGradientColorStyle, TColor& Frame, TColor& Start, TColor& Stop) {
  Frame = clHighlight;
  Stop = MixColors(clHighlight, clWindow, 77);
  Start = HighColorScreen() ? BrightenColor(Stop, 20) : Stop;
}

void GradientColorsByStyle(TKvGradientColorStyle, TColor& Start, TColor& Stop) {
  Start = clWindow;
  Stop = DimColor(clBtnFace, 10);
}

TColor FrameColorByStyle(TKvGradientColorStyle) { return BrightenColor(clBtnShadow, 30); }

void GroupColorsByStyle(TKvGradientColorStyle, TColor& First, TColor& Second, TColor& Third) {
  First = DimColor(clBtnFace, 20);
  Second = clWindow;
  Third = DimColor(clBtnFace, 40);
}

TRect CenterSizeInRect(const TRect& R, int32_t Width, int32_t Height) {
  return Bounds(R.Left + (R.Width() - Width) / 2, R.Top + (R.Height() - Height) / 2, Width, Height);
}

// ---------------------------------------------------------------------------
// Fonts and captions

std::unique_ptr<TFont> MakeRotatedFont(const TFont* Font, int32_t Angle) {
  auto Rotated = std::make_unique<TFont>();
  Rotated->Assign(*Font);
  Rotated->SetOrientation(Angle * 10);
  return Rotated;
}

bool IsTrueTypeFont(const TFont* Font) {
  const QFontInfo Info(Font->QtFont());
  return QFontDatabase::isSmoothlyScalable(Info.family(), Info.styleName());
}

int32_t FontLineHeight(const TFont* Font) {
  TCanvas Measure;
  Measure.SetFont(Font);
  return Measure.TextHeight("Wg") + 2;
}

std::string StripAccelerators(const std::string& Caption) {
  std::string Result;
  Result.reserve(Caption.size());
  for (size_t I = 0; I < Caption.size(); ++I) {
    if (Caption[I] != '&' || I + 1 == Caption.size()) {
      Result += Caption[I];
    } else {
      ++I;  // "&&" keeps one '&'; "&x" keeps the x
      Result += Caption[I];
    }
  }
  return Result;
}

// ---------------------------------------------------------------------------
// System

bool OSVersionIs(int32_t) { return false; }

TRect ControlMonitorWorkArea(const TWinControl* Control) { return Screen->MonitorFromWindow(Control).WorkareaRect; }

int32_t ControlMonitorWorkWidth(const TWinControl* Control) { return ControlMonitorWorkArea(Control).Width(); }

TRect MonitorWorkArea(const TMonitor& Monitor) { return Monitor.WorkareaRect; }

TRect MonitorBoundsRect(const TMonitor& Monitor) { return Monitor.BoundsRect; }

std::optional<TMonitor> MonitorAtPoint(const TPoint& P) {
  for (int32_t I = 0; I < Screen->MonitorCount(); ++I) {
    const TMonitor M = Screen->Monitors(I);
    if (PtInRect(M.BoundsRect, P)) return M;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Beeps

namespace {
TKvBeepHook& BeepHook() {
  static TKvBeepHook Hook;
  return Hook;
}
}  // namespace

void KvMessageBeep() {
  if (BeepHook())
    BeepHook()();
  else
    QApplication::beep();
}

TKvBeepHook SetKvBeepHook(TKvBeepHook Hook) { return std::exchange(BeepHook(), std::move(Hook)); }

// ---------------------------------------------------------------------------
// Blinking

namespace {
TKvBlinkingControlsList* BlinkingList = nullptr;
}  // namespace

TKvBlinkingControlsList::TKvBlinkingControlsList() : FTimer(new TTimer(nullptr)) {
  FTimer->SetInterval(FOffInterval);
  FTimer->OnTimer = [this](TComponent*) { TimerTick(); };
  FTimer->SetEnabled(true);
}

TKvBlinkingControlsList::~TKvBlinkingControlsList() = default;

void TKvBlinkingControlsList::Add(TControl* Control) { FControls.push_back(Control); }

void TKvBlinkingControlsList::Remove(TControl* Control) {
  auto It = std::find(FControls.begin(), FControls.end(), Control);
  if (It != FControls.end()) FControls.erase(It);
}

uint32_t TKvBlinkingControlsList::TimerInterval() const { return FTimer->Interval(); }

void TKvBlinkingControlsList::TimerTick() {
  FPhase = !FPhase;
  FTimer->SetInterval(FPhase ? FOnInterval : FOffInterval);
  // A control may leave the list while it is told: only those still listed are asked.
  const std::vector<TControl*> Snapshot = FControls;
  for (TControl* C : Snapshot) {
    if (std::find(FControls.begin(), FControls.end(), C) == FControls.end()) continue;
    if (C->Perform(CM_QUERYBLINKING) == 1) C->Perform(CM_BLINK, FPhase ? 1 : 0);
  }
}

TKvBlinkingControlsList* BlinkingControlsList() {
  if (!BlinkingList) BlinkingList = new TKvBlinkingControlsList();
  return BlinkingList;
}

bool BlinkingControlsListExists() { return BlinkingList != nullptr; }

void FreeBlinkingListIfEmpty() {
  if (BlinkingList && BlinkingList->Count() == 0) {
    delete BlinkingList;
    BlinkingList = nullptr;
  }
}
