// Colour routines, captions and system queries. Expected colours are
// worked out by hand from the HLS formulas on the 0..240 scale.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include "widgets/KvCommon.h"

using namespace widgettest;

TEST(KvColors, RgbToHlsOnTheScaleOf240) {
  struct TCase {
    TColor Color;
    uint8_t H, S, L;
  };
  const TCase Cases[] = {
      {RGB(255, 0, 0), 0, 240, 120},     {RGB(0, 255, 0), 80, 240, 120},   {RGB(0, 0, 255), 160, 240, 120},
      {RGB(255, 255, 255), 0, 0, 240},   {RGB(0, 0, 0), 0, 0, 0},          {RGB(128, 128, 128), 0, 0, 120},
      {clBtnFace /* 212,208,200 */, 27, 29, 194},
  };
  for (const TCase& C : Cases) {
    uint8_t H, S, L;
    RgbToHlsValues(C.Color, H, S, L);
    EXPECT_EQ((std::vector<int>{H, S, L}), (std::vector<int>{C.H, C.S, C.L})) << std::hex << C.Color;
  }
}

TEST(KvColors, HlsToRgbDividesTheHueBy239) {
  EXPECT_EQ(HlsValuesToRgb(0, 240, 120), RGB(255, 0, 0));
  // Hue 239 is sextant 6, the same as hue 0.
  EXPECT_EQ(HlsValuesToRgb(239, 240, 120), RGB(255, 0, 0));
  // Blue's hue 160 comes back a little red: 160/239 lies past sextant 4.
  EXPECT_EQ(HlsValuesToRgb(160, 240, 120), RGB(4, 0, 255));
  EXPECT_EQ(HlsValuesToRgb(0, 0, 240), RGB(255, 255, 255));
  EXPECT_EQ(HlsValuesToRgb(100, 200, 255), RGB(255, 255, 255));
  EXPECT_EQ(HlsValuesToRgb(100, 200, 0), RGB(0, 0, 0));
}

TEST(KvColors, DimBrightenAndAdjustLuminance) {
  EXPECT_EQ(DimColor(RGB(128, 128, 128), 20), RGB(106, 106, 106));
  for (TColor C : {TColor(RGB(255, 0, 0)), TColor(clBtnFace), TColor(RGB(10, 200, 30)), TColor(clBlack)}) {
    EXPECT_EQ(BrightenColor(C, 255), clWhite) << std::hex << C;
    EXPECT_EQ(DimColor(C, 255), clBlack) << std::hex << C;
  }
  // 0 leaves even a system colour as it is; amounts beyond a byte saturate instead of wrapping
  // (300 as a byte would brighten this colour by 44 only).
  EXPECT_EQ(AdjustLuminance(clBtnFace, 0), TColor(clBtnFace));
  const TColor Mid = RGB(60, 100, 140);
  EXPECT_EQ(AdjustLuminance(Mid, 300), clWhite);
  EXPECT_EQ(AdjustLuminance(Mid, -300), clBlack);
  EXPECT_EQ(AdjustLuminance(Mid, -20), DimColor(Mid, 20));
}

TEST(KvColors, MixSimilarAndOppositeHue) {
  EXPECT_EQ(MixColors(clWhite, clBlack, 77), RGB(77, 77, 77));
  EXPECT_EQ(MixColors(RGB(200, 100, 0), RGB(0, 100, 200), 77), RGB(60, 100, 140));
  EXPECT_EQ(MixColors(clRed, clBlue, 255), TColor(clRed));
  EXPECT_EQ(MixColors(clRed, clBlue, 0), TColor(clBlue));
  EXPECT_TRUE(SimilarColors(RGB(255, 0, 0), RGB(250, 10, 10)));
  EXPECT_FALSE(SimilarColors(RGB(255, 0, 0), RGB(0, 255, 0)));
  EXPECT_FALSE(SimilarColors(RGB(255, 0, 0), RGB(128, 0, 0)));  // luminances 120 and 60
  EXPECT_EQ(OppositeHueColor(RGB(255, 0, 0), 120), RGB(0, 252, 255));
  EXPECT_EQ(OppositeHueColor(RGB(0, 255, 0), 120), RGB(255, 0, 250));  // hue 200
}

TEST(KvColors, SelectionColoursFlattenWithout256Colours) {
  TColor Frame, Start, Stop;
  SetHighColorScreen(false);
  SelectionColorsByStyle(gcsMSOffice, Frame, Start, Stop);
  SetHighColorScreen(true);
  EXPECT_EQ(Start, Stop);
  SelectionColorsByStyle(gcsMSOffice, Frame, Start, Stop);
  EXPECT_NE(Start, Stop);
}

TEST(KvCaptions, StripAcceleratorsAndCentreRectangles) {
  const std::pair<const char*, const char*> Cases[] = {
      {"&File", "File"}, {"A&&B", "A&B"}, {"Rock&&", "Rock&"}, {"A&", "A&"}, {"", ""}, {"&&&x", "&x"}};
  for (const auto& [In, Out] : Cases) EXPECT_EQ(StripAccelerators(In), Out) << In;
  EXPECT_EQ(CenterSizeInRect(Rect(0, 0, 11, 10), 4, 3), Rect(3, 3, 7, 6));
  // Halves are taken toward zero, also when the size does not fit.
  EXPECT_EQ(CenterSizeInRect(Rect(10, 10, 13, 12), 6, 4), Rect(9, 9, 15, 13));
}

TEST(KvSystem, MonitorAtPointFindsNoneOutsideEveryScreen) {
  ASSERT_TRUE(MonitorAtPoint({10, 10}).has_value());
  EXPECT_EQ(MonitorBoundsRect(*MonitorAtPoint({10, 10})), Screen->Monitors(0).BoundsRect);
  EXPECT_FALSE(MonitorAtPoint({-5, 10}).has_value());
  EXPECT_FALSE(MonitorAtPoint({100000, 10}).has_value());
}
