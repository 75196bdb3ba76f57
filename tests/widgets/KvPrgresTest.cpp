// The progress bar: the filled part and the centred text of the solid and gradient
// bars, LED segments (never more lit than there are, none on bars too short for them),
// vertical bars, percentages from parts, and what a new percentage repaints.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include "widgets/KvBckgnd.h"
#include "widgets/KvPrgres.h"

using namespace widgettest;
using testsupport::ColorBounds;
using testsupport::CountColor;
using testsupport::Render;

namespace {

TComponentPtr<TKvProgressBar> MakeBar(TBarStyle Style, int32_t Width, int32_t Height, uint16_t Percent) {
  TComponentPtr<TKvProgressBar> Bar(new TKvProgressBar(nullptr));
  Bar->SetBarStyle(Style);
  Bar->SetBounds(0, 0, Width, Height);
  Bar->SetBarColor(clNavy);
  Bar->SetBackColor(clWhite);
  Bar->SetPercent(Percent);
  return Bar;
}

}  // namespace

TEST(KvProgressBar, SolidAndGradientBarsFillTheirShareWithTheTextCentred) {
  // A lowered frame (2 pixels) and 20 pixels of border on each side: the interior is 22..178.
  for (TBarStyle Style : {bsTraditional, bsGradient}) {
    for (uint16_t Percent : {0, 33, 50, 100, 150}) {
      auto Bar = MakeBar(Style, 200, 60, Percent);
      Bar->SetBorderWidth(20);
      Bar->SetBorderColor(clSilver);
      const QImage I = Render(Bar.get());
      const int32_t Filled = Percent >= 100 ? 156 : static_cast<int32_t>(Round(156 * Percent / 100.0));
      // The first row of the interior: the bar's colour where filled, the back colour after.
      EXPECT_EQ(testsupport::PixelAt(I, 22, 22), Filled > 0 ? TColor(clNavy) : TColor(clWhite)) << Style << " " << Percent;
      EXPECT_EQ(testsupport::PixelAt(I, 177, 22), Filled == 156 ? TColor(clNavy) : TColor(clWhite)) << Style;
      if (Style == bsTraditional) {
        EXPECT_EQ(CountColor(I, clNavy, Rect(22, 22, 178, 23)), Filled) << Percent;
      }
      EXPECT_EQ(testsupport::PixelAt(I, 10, 10), TColor(clSilver));
      // The text, in the bar's colour on the empty part, centred in the interior.
      if (Percent == 0) {
        const TRect Text = ColorBounds(I, clNavy);
        ASSERT_FALSE(IsRectEmpty(Text)) << Style;
        EXPECT_LE(std::abs(Text.Left + Text.Right - (22 + 178)), 3) << Style;
        EXPECT_LE(std::abs(Text.Top + Text.Bottom - (22 + 38)), 3) << Style;
      }
    }
  }
  // Without the percentage nothing but the bar.
  auto Quiet = MakeBar(bsTraditional, 200, 24, 0);
  Quiet->SetShowPercent(false);
  EXPECT_EQ(CountColor(Render(Quiet.get()), clNavy), 0);
}

TEST(KvProgressBar, TheTextTakesBackColorOverTheFillAndTheBarColorBeside) {
  // The main window's bars (300 x 18) and a vertical one, while the fill's edge crosses
  // the text: each text pixel is told from the same bar drawn without its text.
  for (TBarStyle Style : {bsTraditional, bsGradient}) {
    for (auto [Width, Height] : {std::pair{300, 18}, std::pair{40, 120}}) {
      int32_t Over = 0, Beside = 0;
      for (uint16_t Percent = 40; Percent <= 60; ++Percent) {
        TComponentPtr<TKvProgressBar> Bar(new TKvProgressBar(nullptr));
        Bar->SetBarStyle(Style);
        Bar->SetBounds(0, 0, Width, Height);
        Bar->SetPercent(Percent);
        const QImage With = Render(Bar.get());
        Bar->SetShowPercent(false);
        const QImage Without = Render(Bar.get());
        const bool Vertical = Height > Width;
        // The interior inside the two-pixel frame, filled from the left or the bottom.
        const int32_t Length = (Vertical ? Height : Width) - 4;
        const int32_t Edge = static_cast<int32_t>(Round(Length * Percent / 100.0));
        for (int32_t Y = 0; Y < Height; ++Y) {
          for (int32_t X = 0; X < Width; ++X) {
            if (With.pixel(X, Y) == Without.pixel(X, Y)) continue;
            const bool Filled = Vertical ? Y >= Height - 2 - Edge : X < 2 + Edge;
            (Filled ? Over : Beside)++;
            EXPECT_EQ(testsupport::PixelAt(With, X, Y), RGBOf(Filled ? Bar->BackColor() : Bar->BarColor()))
                << Style << " " << Width << " " << Percent << " at " << X << "," << Y;
          }
        }
      }
      EXPECT_GT(Over, 0) << Style << " " << Width;
      EXPECT_GT(Beside, 0) << Style << " " << Width;
    }
  }
}

TEST(KvProgressBar, LedSegments) {
  // 60 pixels of interior and 20 segments asked for: a short bar shows 10 of 6 pixels.
  auto Bar = MakeBar(bsLED, 60, 20, 50);
  EXPECT_FALSE(Bar->ShowPercent());
  EXPECT_EQ(Bar->InteriorOffset(), 1);
  Bar->SetBorderOuter(fsNone);
  Bar->SetInteriorOffset(0);
  // Each segment is outlined in the back colour: 4 lit pixels of every 6.
  const auto Runs = testsupport::RowRuns(Render(Bar.get()), 10, 0, 60);
  std::vector<std::pair<TColor, int32_t>> Expected = {{clWhite, 1}};
  for (int32_t I = 0; I < 5; ++I) {
    Expected.push_back({clNavy, 4});
    Expected.push_back({clWhite, I < 4 ? 2 : 31});
  }
  EXPECT_EQ(Runs, Expected);
  // Percent above 100 lights every segment and no more: the frame of a vertical bar
  // stays whole.
  for (uint16_t Percent : {100, 150, 1000}) {
    auto V = MakeBar(bsLED, 20, 60, Percent);
    const QImage I = Render(V.get());
    EXPECT_EQ(V->Orientation(), orVertical);
    EXPECT_EQ(CountColor(I, clNavy), 10 * 3 * 12) << Percent;  // 10 segments of 5 rows, 12 wide, 3 lit rows
    EXPECT_EQ(testsupport::PixelAt(I, 10, 0), RGBOf(clBtnShadow)) << Percent;
    EXPECT_EQ(testsupport::PixelAt(I, 10, 1), RGBOf(cl3DDkShadow)) << Percent;
  }
  // Bars too short for a one-pixel segment show an empty interior.
  for (auto [Width, Segments] : {std::pair{8, 20}, std::pair{90, 100}}) {
    auto Tiny = MakeBar(bsLED, Width, 20, 50);
    Tiny->SetBorderOuter(fsNone);
    Tiny->SetInteriorOffset(0);
    Tiny->SetNumSegments(Segments);
    EXPECT_EQ(CountColor(Render(Tiny.get()), clWhite), Width * 20) << Width;
  }
}

TEST(KvProgressBar, TallerThanWideFillsFromTheBottom) {
  auto Bar = MakeBar(bsTraditional, 24, 100, 25);
  Bar->SetShowPercent(false);
  EXPECT_EQ(Bar->Orientation(), orVertical);
  const QImage I = Render(Bar.get());
  EXPECT_EQ(ColorBounds(I, clNavy), Rect(2, 98 - 24, 22, 98));  // 25 % of 96 rows
  Bar->SetBounds(0, 0, 100, 24);
  EXPECT_EQ(Bar->Orientation(), orHorizontal);
}

TEST(KvProgressBar, PartsGivePercentAndOnChangeFiresOnChanges) {
  TComponentPtr<TKvProgressBar> Bar(new TKvProgressBar(nullptr));
  std::vector<uint16_t> Changes;
  Bar->OnChange = [&](TComponent*, uint16_t P) { Changes.push_back(P); };
  Bar->SetPartsComplete(10);  // no total: capped at 0, no percentage
  EXPECT_EQ(Bar->PartsComplete(), 0);
  Bar->SetTotalParts(200);
  Bar->SetPartsComplete(50);
  EXPECT_EQ(Bar->Percent(), 25);
  Bar->SetPartsComplete(50);
  Bar->SetPartsComplete(500);
  EXPECT_EQ(Bar->PartsComplete(), 200);
  Bar->SetPartsComplete(1);  // 0.5 % rounds to even: 0
  EXPECT_EQ(Changes, (std::vector<uint16_t>{25, 100, 0}));
  Bar->SetPartsComplete(3);
  Bar->SetTotalParts(300);  // a new total starts again
  EXPECT_EQ(Bar->PartsComplete(), 0);
  EXPECT_EQ(Changes, (std::vector<uint16_t>{25, 100, 0, 2, 0}));
}

TEST(KvProgressBar, ANewPercentageRepaintsTheBarAloneAndTheSameOneNothing) {
  // A run sets the percentage hundreds of times: the window's gradient under the bar
  // must not be painted again for it.
  TInputForm F(240, 80);
  auto* Back = new TKvBackground(F.Form);
  Back->SetParent(F.Form);
  Back->SetAlign(alClient);
  auto* Bar = F.Add<TKvProgressBar>(Bounds(10, 10, 200, 20));
  Bar->SetBarStyle(bsGradient);
  F.Show();
  Application->ProcessMessages();
  testsupport::TPaintCounter Paints({F.Form, Back, Bar});
  Bar->SetPercent(40);
  Bar->SetPercent(40);
  Bar->SetPartsComplete(0);  // no total: nothing changes
  Application->ProcessMessages();
  EXPECT_EQ(Paints.Of(Bar), 1);
  EXPECT_EQ(Paints.Of(Back), 0);
  EXPECT_EQ(Paints.Of(F.Form), 0);
}
