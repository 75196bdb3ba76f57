// Labels: border and text area, auto-size, text styles, rotation, ellipses, fly-by
// under real mouse events, blinking on the test clock, and the link label's opening.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"
#include "platform/shell/Shell.h"
#include "widgets/KvLabel.h"

using namespace widgettest;
using testsupport::ColorBounds;
using testsupport::CountColor;
using testsupport::Render;

namespace {

// A form with a red-texted label on a yellow ground.
struct TLabelForm {
  explicit TLabelForm(const std::string& Caption, bool AutoSize = false) : Form(nullptr) {
    Form.SetBounds(0, 0, 300, 200);
    Label = new TKvLabel(&Form);
    Label->SetParent(&Form);
    Label->SetAutoSize(AutoSize);
    Label->SetBounds(10, 10, 160, 40);
    Label->SetColor(clYellow);
    Label->Font()->SetColor(clRed);
    Label->SetShadowColor(clBlue);
    Label->SetHighlightColor(clLime);
    Label->SetCaption(Caption);
  }
  TSize TextSize(const std::string& Text) const {
    TCanvas C;
    C.SetFont(Label->Font());
    TRect R = Rect(0, 0, 1000, 0);
    C.DrawText(Text, R, DT_CALCRECT | DT_EXPANDTABS);
    return {R.Width(), R.Height()};
  }
  TForm Form;
  TKvLabel* Label;
};

}  // namespace

TEST(KvLabel, BorderInsetsTheTextAndAutoSizeAddsIt) {
  TLabelForm F("Bordered", true);
  F.Label->SetBorderOuter(fsLowered);
  F.Label->SetBorderWidth(3);
  F.Label->SetBorderColor(clAqua);
  const TSize Text = F.TextSize("Bordered");
  EXPECT_EQ(F.Label->Width(), Text.cx + 2 * (2 + 3));
  EXPECT_EQ(F.Label->Height(), Text.cy + 2 * (2 + 3));
  const QImage I = Render(F.Label);
  EXPECT_EQ(testsupport::PixelAt(I, 0, 0), RGBOf(clBtnShadow));
  EXPECT_EQ(testsupport::PixelAt(I, 2, 2), TColor(clAqua));
  const TRect Red = ColorBounds(I, clRed);
  EXPECT_GE(Red.Left, 5);
  EXPECT_GE(Red.Top, 5);
  EXPECT_LE(Red.Right, F.Label->Width() - 5);
  // A right-aligned label keeps its right edge; a shadow and a margin add to the size;
  // the border only counts on its sides.
  F.Label->SetAlignment(taRightJustify);
  const int32_t Right = F.Label->Left() + F.Label->Width();
  F.Label->SetTextStyle(tsShadow);
  F.Label->SetTextMargin(1);
  EXPECT_EQ(F.Label->Width(), Text.cx + 2 * (2 + 3) + 2 + 2);
  EXPECT_EQ(F.Label->Left() + F.Label->Width(), Right);
  F.Label->SetBorderSides(sdsLeft | sdsTop);
  EXPECT_EQ(F.Label->Width(), Text.cx + 2 + 3 + 2 + 2);
}

TEST(KvLabel, TextStylesDrawTheirCopies) {
  struct TCase {
    TTextStyle Style;
    bool Light;
    TPoint Blue, Lime;  // offset of the copy's bounding box from the text's; (9, 9): no copy
  };
  const TPoint None = {9, 9};
  const TCase Cases[] = {{tsNormal, false, None, None},     {tsRaised, false, {1, 1}, {-1, -1}},
                         {tsRaised, true, None, {-1, -1}},  {tsRecessed, false, {-1, -1}, {1, 1}},
                         {tsRecessed, true, None, {1, 1}},  {tsShadow, false, {3, 3}, None}};
  for (const TCase& C : Cases) {
    TLabelForm F("Styled");
    F.Label->SetTextStyle(C.Style);
    F.Label->SetLightTextStyle(C.Light);
    F.Label->SetShadowDepth(3);
    F.Label->SetLayout(tlCenter);
    F.Label->SetAlignment(taCenter);
    const QImage I = Render(F.Label);
    const TRect Text = ColorBounds(I, clRed);
    ASSERT_FALSE(IsRectEmpty(Text));
    // The copies lie under the text: where they show, they reach past it on one side.
    auto Check = [&](TColor Color, TPoint Offset, const char* What) {
      const TRect Copy = ColorBounds(I, Color);
      if (Offset == None) {
        EXPECT_TRUE(IsRectEmpty(Copy)) << What << int(C.Style);
        return;
      }
      if (Offset.X > 0) {
        EXPECT_EQ(Copy.Right, Text.Right + Offset.X) << What << int(C.Style);
        EXPECT_EQ(Copy.Bottom, Text.Bottom + Offset.Y) << What << int(C.Style);
      } else {
        EXPECT_EQ(Copy.Left, Text.Left + Offset.X) << What << int(C.Style);
        EXPECT_EQ(Copy.Top, Text.Top + Offset.Y) << What << int(C.Style);
      }
    };
    Check(clBlue, C.Blue, "shadow ");
    Check(clLime, C.Lime, "highlight ");
  }
  // Disabled: embossed in the button colours, whatever the style.
  TLabelForm D("Styled");
  D.Label->SetTextStyle(tsShadow);
  D.Label->SetEnabled(false);
  const QImage I = Render(D.Label);
  EXPECT_TRUE(IsRectEmpty(ColorBounds(I, clRed)));
  EXPECT_TRUE(IsRectEmpty(ColorBounds(I, clBlue)));
  EXPECT_EQ(ColorBounds(I, clBtnHighlight).Right, ColorBounds(I, clBtnShadow).Right + 1);
}

TEST(KvLabel, AngleRotationAndTurnedText) {
  TLabelForm F("Turned caption", true);
  F.Label->SetAngle(-30);
  EXPECT_EQ(F.Label->Angle(), 330);
  EXPECT_EQ(F.Label->Rotation(), roFlat);
  F.Label->SetAngle(725);
  EXPECT_EQ(F.Label->Angle(), 5);
  F.Label->SetRotation(roNone);
  EXPECT_EQ(F.Label->Angle(), 0);
  // Auto-size takes the turned text's bounding box: at 90 degrees width and height swap.
  const TSize Text = F.TextSize("Turned caption");
  F.Label->SetAngle(90);
  EXPECT_EQ(F.Label->Width(), Text.cy);
  EXPECT_EQ(F.Label->Height(), Text.cx);
  const TRect Red = ColorBounds(Render(F.Label), clRed);
  EXPECT_GT(Red.Height(), 3 * Red.Width());
  // At 120 degrees the box is cos 60 x width + sin 60 x height wide.
  F.Label->SetAngle(120);
  EXPECT_EQ(F.Label->Width(), static_cast<int32_t>(Round(0.5 * Text.cx + std::sqrt(3.0) / 2 * Text.cy)));
  EXPECT_EQ(F.Label->Rotation(), roFlat);
  F.Label->SetRotation(roCurve);
  F.Label->SetCenterPoint(cpLowerCenter);
  EXPECT_EQ(F.Label->CenterPoint(), cpLowerCenter);
  F.Label->SetRotation(roFlat);
  EXPECT_EQ(F.Label->CenterPoint(), cpCenter);
}

TEST(KvLabel, CurvedTextNeedsRoom) {
  TLabelForm Big("Curved");
  Big.Label->SetBounds(10, 10, 120, 120);
  Big.Label->SetRotation(roCurve);
  Big.Label->SetAngle(150);
  EXPECT_GT(CountColor(Render(Big.Label), clRed), 0);
  // A label whose radius comes out at 0 or less is painted straight.
  TLabelForm Small("Curved"), Straight("Curved");
  for (TLabelForm* F : {&Small, &Straight}) {
    F->Label->SetBounds(10, 10, 60, 3);
    F->Label->SetBorderWidth(1);
  }
  Small.Label->SetRotation(roCurve);
  EXPECT_EQ(Render(Small.Label), Render(Straight.Label));
}

TEST(KvLabel, CondensedCaptionsEndInAnEllipsis) {
  const std::string Path = "/home/user/Music/Some Artist/Some Album/track.flac";
  struct TCase {
    TKvCondenseCaption Condense;
    uint32_t Flag;
  };
  const TCase Cases[] = {{ccNone, 0}, {ccAtEnd, DT_END_ELLIPSIS}, {ccWithinPath, DT_PATH_ELLIPSIS}};
  std::vector<QImage> Seen;
  for (const TCase& C : Cases) {
    TLabelForm F(Path, true);
    F.Label->SetCondenseCaption(C.Condense);
    if (C.Condense != ccNone) {
      EXPECT_FALSE(F.Label->AutoSize());  // condensing switches auto-size off
    }
    F.Label->SetAutoSize(false);
    F.Label->SetBounds(10, 10, 120, 20);
    // The caption as the canvas condenses it into the label's area.
    TSheet Expected(120, 20, clYellow);
    Expected.Canvas.SetFont(F.Label->Font());
    Expected.Canvas.Brush()->SetStyle(bsClear);
    TRect R = Rect(0, 0, 120, 20);
    Expected.Canvas.DrawText(Path, R, DT_EXPANDTABS | C.Flag);
    Expected.Canvas.SetImage(nullptr);
    Seen.push_back(Render(F.Label));
    EXPECT_TRUE(Seen.back() == Expected.Image) << int(C.Condense);
  }
  EXPECT_FALSE(Seen[0] == Seen[1]);
  EXPECT_FALSE(Seen[1] == Seen[2]);
}

TEST(KvLabel, FlyByColoursTheFontWhileTheMouseIsOver) {
  TLabelForm F("Fly by");
  F.Label->SetFlyByEnabled(true);
  F.Label->SetFlyByColor(clLime);
  testsupport::ShowActive(&F.Form);
  testsupport::MouseMove(&F.Form, 250, 150);
  testsupport::MouseMove(F.Label, 5, 5);
  EXPECT_EQ(F.Label->Font()->Color(), TColor(clLime));
  EXPECT_EQ(F.Label->TextColor(), TColor(clLime));
  testsupport::MouseMove(&F.Form, 250, 150);
  EXPECT_EQ(F.Label->Font()->Color(), TColor(clRed));
  // A colour the program sets while the mouse is over is kept when it leaves.
  testsupport::MouseMove(F.Label, 5, 5);
  F.Label->Font()->SetColor(clBlue);
  testsupport::MouseMove(&F.Form, 250, 150);
  EXPECT_EQ(F.Label->Font()->Color(), TColor(clBlue));
  // Switching fly-by off restores only what fly-by changed.
  F.Label->SetFlyByEnabled(false);
  EXPECT_EQ(F.Label->Font()->Color(), TColor(clBlue));
  F.Label->SetFlyByEnabled(true);
  testsupport::MouseMove(F.Label, 5, 5);
  F.Label->SetFlyByEnabled(false);
  EXPECT_EQ(F.Label->Font()->Color(), TColor(clBlue));
}

TEST(KvLabel, BlinkingAlternatesTheTextColour) {
  ASSERT_FALSE(BlinkingControlsListExists());  // no test leaves a label behind
  {
    TLabelForm F("Blink");
    auto* Steady = new TKvLabel(&F.Form);  // answers that it does not blink: never told
    Steady->Font()->SetColor(clRed);
    F.Label->SetBlinkColor(clLime);
    F.Label->SetBlinking(true);
    F.Label->SetBlinkIntervalOn(200);
    EXPECT_EQ(BlinkingControlsList()->Count(), 2);
    // The list starts in the on phase and waits the off interval; on lasts 200 ms, off 500.
    std::vector<TColor> Seen;
    for (uint32_t Wait : {500u, 500u, 200u, 500u}) {
      TTimer::Advance(Wait);
      Seen.push_back(F.Label->TextColor());
      EXPECT_EQ(Steady->TextColor(), TColor(clRed));
    }
    EXPECT_EQ(Seen, (std::vector<TColor>{clRed, clLime, clRed, clLime}));
    F.Label->SetBlinking(false);
    EXPECT_EQ(F.Label->TextColor(), TColor(clRed));
  }
  EXPECT_FALSE(BlinkingControlsListExists());  // freed with the last label
}

TEST(KvURLLabel, ClickOpensTheURLOrTheCaption) {
  std::vector<std::string> Opened;
  bool Succeeds = true;
  const TShellOpenHook Previous = SetShellOpenHook([&](const std::string& Target) {
    Opened.push_back(Target);
    return Succeeds;
  });
  {
    TForm Form(nullptr);
    Form.SetBounds(0, 0, 300, 100);
    auto* Link = new TKvURLLabel(&Form);
    Link->SetParent(&Form);
    Link->SetAutoSize(false);
    Link->SetBounds(10, 10, 200, 20);
    Link->SetCaption("  https://example.org/sonvix  ");
    EXPECT_EQ(Link->Cursor(), crKvHandPoint);
    EXPECT_EQ(Link->Font()->Color(), TColor(clHighlight));
    testsupport::ShowActive(&Form);
    Succeeds = false;
    testsupport::MouseClick(Link, 3, 3);
    EXPECT_FALSE(Link->Visited());
    Succeeds = true;
    Link->SetURL(" https://example.org/update ");
    testsupport::MouseClick(Link, 3, 3);
    EXPECT_TRUE(Link->Visited());
    EXPECT_EQ(Link->Font()->Color(), TColor(0x800080));
    EXPECT_EQ(Opened, (std::vector<std::string>{"https://example.org/sonvix", "https://example.org/update"}));
    Link->SetURL("   ");
    Link->SetCaption("");
    testsupport::MouseClick(Link, 3, 3);
    EXPECT_EQ(Opened.size(), 2u);  // nothing to open
  }
  SetShellOpenHook(Previous);
}
