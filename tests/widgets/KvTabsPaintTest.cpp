// Tab control painting by pixel facts: the selected tab joined to its card, the
// highlight bar, turned captions, embossed and underlined captions, gradients, the
// card's soft shadow.
#include "tests/widgets/TabTest.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/gui/ImgList.h"

using namespace tabtest;
using testsupport::ColorBounds;
using testsupport::PixelAt;
using testsupport::Render;

namespace {

// Flat colours that tell the parts apart.
void Colour(TKvCustomTabControl* T) {
  T->SetColor(clYellow);        // selected tab and card
  T->SetFlatColor(clRed);       // outlines
  T->TabColors()->SetUnselected(clAqua);
  T->TabColors()->SetHighlightBar(clLime);
  T->TextColors()->SetSelected(clBlue);
  T->TextColors()->SetUnselected(clBlue);
  T->SetUseGradients(false);
  T->SetShowShadow(false);
}

}  // namespace

TEST(KvTabsPaint, TheSelectedTabJoinsItsCardOnEveryStrip) {
  for (TKvTabOrientation Strip : {toTop, toLeft, toBottom, toRight}) {
    TTabForm F({"One", "Two"}, false);
    F.Tabs->SetTabOrientation(Strip);
    FixTabSize(F.Tabs);
    Colour(F.Tabs);
    F.Tabs->SetHotTrack(false);
    F.Tabs->SetTabIndex(1);
    const QImage I = Render(F.Tabs);
    const bool Horizontal = Strip == toTop || Strip == toBottom;
    const TRect Sel = F.Tabs->TabControlRect(1), Other = F.Tabs->TabControlRect(0);
    // The card's side facing the tabs, read along the strip.
    const TRect Card = F.Tabs->DisplayRect();
    const int32_t Line = Strip == toTop ? Card.Top : Strip == toBottom ? Card.Bottom : Strip == toLeft ? Card.Left : Card.Right;
    auto On = [&](int32_t Along) { return Horizontal ? PixelAt(I, Along, Line) : PixelAt(I, Line, Along); };
    const int32_t Lo = Horizontal ? Sel.Left : Sel.Top, Hi = Horizontal ? Sel.Right : Sel.Bottom;
    const std::string What = "strip " + std::to_string(Strip);
    EXPECT_EQ(On((Lo + Hi) / 2), TColor(clYellow)) << What;  // open under the selected tab
    EXPECT_EQ(On(Lo), TColor(clRed)) << What;                 // the frame runs up to its base corners
    EXPECT_EQ(On(Hi), TColor(clRed)) << What;
    const TPoint Mid = CenterPoint(Other);
    EXPECT_EQ(On(Horizontal ? Mid.X : Mid.Y), TColor(clRed)) << What;  // closed under another tab
    // Inside the other tab, away from its slant and caption.
    const TPoint In = Strip == toTop      ? Point(Other.Left + 4, Other.Top + 10)
                      : Strip == toBottom ? Point(Other.Left + 4, Other.Bottom - 10)
                      : Strip == toLeft   ? Point(Other.Left + 10, Other.Bottom - 4)
                                          : Point(Other.Right - 10, Other.Top + 4);
    EXPECT_EQ(PixelAt(I, In.X, In.Y), TColor(clAqua)) << What;
    EXPECT_EQ(PixelAt(I, CenterPoint(Card).X, CenterPoint(Card).Y), TColor(clYellow)) << What;
  }
}

TEST(KvTabsPaint, TheHighlightBarRunsAlongTheOuterEdge) {
  // Six pixels deep on the top and left strips, four on the others, from the tab inflated
  // by one; inside the tab's region and under its outline that leaves four and three.
  struct TCase {
    TKvTabOrientation Strip;
    int32_t Band;
  };
  for (const TCase& C : {TCase{toTop, 4}, TCase{toLeft, 4}, TCase{toBottom, 3}, TCase{toRight, 3}}) {
    TTabForm F({"One", "Two"}, false);
    F.Tabs->SetTabOrientation(C.Strip);
    FixTabSize(F.Tabs);
    Colour(F.Tabs);
    F.Tabs->SetTabIndex(0);
    const QImage I = Render(F.Tabs);
    // The bar is cut to the tab's shape: it starts where the outline leaves room.
    const TRect Bar = ColorBounds(I, clLime);
    const TRect Tab = F.Tabs->TabControlRect(0);
    const std::string What = "strip " + std::to_string(C.Strip);
    ASSERT_FALSE(IsRectEmpty(Bar)) << What;
    EXPECT_TRUE(Bar.Left >= Tab.Left && Bar.Right <= Tab.Right && Bar.Top >= Tab.Top && Bar.Bottom <= Tab.Bottom) << What;
    switch (C.Strip) {
      case toTop: EXPECT_EQ(Bar.Top, Tab.Top + 1) << What; EXPECT_EQ(Bar.Height(), C.Band) << What; break;
      case toLeft: EXPECT_EQ(Bar.Left, Tab.Left + 1) << What; EXPECT_EQ(Bar.Width(), C.Band) << What; break;
      case toBottom: EXPECT_EQ(Bar.Bottom, Tab.Bottom) << What; EXPECT_EQ(Bar.Height(), C.Band) << What; break;
      case toRight: EXPECT_EQ(Bar.Right, Tab.Right) << What; EXPECT_EQ(Bar.Width(), C.Band) << What; break;
    }
  }
  // Without hot tracking there is no bar; with the text style the hot colour goes to the text.
  TTabForm F({"One", "Two"}, false);
  Colour(F.Tabs);
  F.Tabs->SetHotTrack(false);
  EXPECT_TRUE(IsRectEmpty(ColorBounds(Render(F.Tabs), clLime)));
}

TEST(KvTabsPaint, TurnedCaptionsStayInsideTheirTabs) {
  for (TKvTabOrientation Strip : {toTop, toLeft, toBottom, toRight})
    for (TOrientation Text : {orHorizontal, orVertical}) {
      TTabForm F({"Caption", "B"}, false);
      F.Tabs->SetTabOrientation(Strip);
      F.Tabs->SetTextOrientation(Text);
      Colour(F.Tabs);
      F.Tabs->TextColors()->SetSelected(clNavy);  // only the first tab's caption is blue
      F.Tabs->SetHotTrack(false);
      F.Tabs->SetTabIndex(1);
      const QImage I = Render(F.Tabs);
      const TRect Tab = F.Tabs->TabControlRect(0);
      QImage Only = I.copy(Tab.Left, Tab.Top, Tab.Width(), Tab.Height());
      const TRect Glyphs = ColorBounds(Only, clBlue);
      const std::string What = "strip " + std::to_string(Strip) + " text " + std::to_string(Text);
      ASSERT_FALSE(IsRectEmpty(Glyphs)) << What;
      // Nothing of the caption spills over the tab's edges.
      TRect Around = Tab;
      InflateRect(Around, 3, 3);
      EXPECT_EQ(testsupport::CountColor(I, clBlue, Around), testsupport::CountColor(I, clBlue, Tab)) << What;
      EXPECT_EQ(Glyphs.Width() > Glyphs.Height(), Text == orHorizontal) << What;
      EXPECT_GT(Glyphs.Left, 0) << What;
      EXPECT_GT(Glyphs.Top, 0) << What;
      EXPECT_LT(Glyphs.Right, Tab.Width()) << What;
      EXPECT_LT(Glyphs.Bottom, Tab.Height()) << What;
    }
}

TEST(KvTabsPaint, DisabledCaptionsAreEmbossedAndAcceleratorsUnderlined) {
  auto GlyphsOf = [](const std::string& Caption, bool Enabled, TColor Color) {
    TTabForm F({Caption, "X"}, false);
    Colour(F.Tabs);
    F.Tabs->SetHotTrack(false);
    F.Tabs->TextColors()->SetDisabledHighlight(clLime);
    F.Tabs->TextColors()->SetDisabledShadow(clFuchsia);
    F.Tabs->TextColors()->SetSelected(clNavy);  // the selected second tab overlaps the first
    F.Tabs->Tabs().Items(0)->Enabled = Enabled;
    F.Tabs->TabsChanged();
    F.Tabs->SetTabIndex(1);
    const TRect Tab = F.Tabs->TabControlRect(0);
    return ColorBounds(Render(F.Tabs).copy(Tab.Left, Tab.Top, Tab.Width(), Tab.Height()), Color);
  };
  const TRect Shadow = GlyphsOf("Off", false, clFuchsia), Light = GlyphsOf("Off", false, clLime);
  ASSERT_FALSE(IsRectEmpty(Shadow));
  EXPECT_EQ(Light.Right, Shadow.Right + 1);
  EXPECT_EQ(Light.Bottom, Shadow.Bottom + 1);
  EXPECT_TRUE(IsRectEmpty(GlyphsOf("Off", false, clBlue)));
  // "&Ab" underlines the A below the text of "Ab"; "&&b" shows a plain '&'.
  const TRect Plain = GlyphsOf("Ab", true, clBlue), Marked = GlyphsOf("&Ab", true, clBlue);
  EXPECT_GT(Marked.Bottom, Plain.Bottom);
  EXPECT_EQ(Marked.Right, Plain.Right);
  const TRect B = GlyphsOf("b", true, clBlue), AmpB = GlyphsOf("&&b", true, clBlue);
  EXPECT_GT(AmpB.Width(), B.Width());
  EXPECT_EQ(AmpB.Bottom, B.Bottom);
}

TEST(KvTabsPaint, UnselectedTabsShadeUnlessTheScreenHasFewColours) {
  TTabForm F({"One", "Two"}, false);
  FixTabSize(F.Tabs);
  Colour(F.Tabs);
  F.Tabs->TabColors()->SetShadow(clNavy);
  F.Tabs->SetUseGradients(true);
  F.Tabs->SetTabIndex(0);
  const TRect Tab = F.Tabs->TabControlRect(1);
  // From the start colour on the left to the shadow colour on the right.
  auto Ends = [&] {
    const QImage I = Render(F.Tabs);
    return std::pair(PixelAt(I, Tab.Left + 1, Tab.Top + 8), PixelAt(I, Tab.Right - 12, Tab.Top + 8));
  };
  const auto [Start, End] = Ends();
  EXPECT_GE(GetGValue(Start), 250);
  EXPECT_LT(GetGValue(End), 60);
  EXPECT_LT(GetBValue(End), GetBValue(Start));
  SetHighColorScreen(false);
  const auto [FlatStart, FlatEnd] = Ends();
  SetHighColorScreen(true);
  EXPECT_EQ(FlatStart, TColor(clAqua));
  EXPECT_EQ(FlatEnd, TColor(clAqua));
}

TEST(KvTabsPaint, TheCardsShadowDarkensWhatLiesUnderTheControl) {
  TTabForm F({"One"}, false);  // on a white form
  FixTabSize(F.Tabs);
  Colour(F.Tabs);
  F.Tabs->SetShowShadow(true);
  const QImage I = Render(F.Tabs, clGreen);
  const int32_t W = F.Tabs->Width(), H = F.Tabs->Height();
  const TColor Ring1 = MixColors(clBlack, clWhite, 30), Ring2 = MixColors(clBlack, clWhite, 15);
  // The frame's right and bottom sides stand two pixels in; the rings lie outside them.
  EXPECT_EQ(PixelAt(I, W - 3, 100), TColor(clRed));
  EXPECT_EQ(PixelAt(I, W - 2, 100), Ring1);
  EXPECT_EQ(PixelAt(I, W - 1, 100), Ring2);
  EXPECT_EQ(PixelAt(I, 100, H - 3), TColor(clRed));
  EXPECT_EQ(PixelAt(I, 100, H - 2), Ring1);
  EXPECT_EQ(PixelAt(I, 100, H - 1), Ring2);
  EXPECT_EQ(PixelAt(I, W - 1, H - 1), Ring2);  // the rings end in the corner
  EXPECT_EQ(PixelAt(I, W - 1, 20), TColor(clYellow));  // they start below the card's top
}

TEST(KvTabsPaint, ImagesSitBesideTheirCaptions) {
  TComponentPtr<TImageList> Images(new TImageList(nullptr));
  Images->SetSize(12, 12);
  TBitmap Strip(24, 12);
  Strip.Canvas()->Brush()->SetColor(clMaroon);
  Strip.Canvas()->FillRect(Rect(0, 0, 12, 12));
  Strip.Canvas()->Brush()->SetColor(clOlive);
  Strip.Canvas()->FillRect(Rect(12, 0, 24, 12));
  Images->Add(&Strip, nullptr);
  TTabForm F({"Image", "X"}, false);
  Colour(F.Tabs);
  F.Tabs->SetHotTrack(false);
  F.Tabs->TextColors()->SetSelected(clNavy);
  F.Tabs->SetTabIndex(1);
  const int32_t Plain = F.Tabs->TabControlRect(0).Width();
  F.Tabs->SetImages(Images.get());
  F.Tabs->Tabs().Items(0)->ImageIndex = 0;
  F.Tabs->TabsChanged();
  EXPECT_EQ(F.Tabs->TabControlRect(0).Width(), Plain + 12);
  auto Parts = [&](TColor Image) {
    const TRect Tab = F.Tabs->TabControlRect(0);
    const QImage I = Render(F.Tabs).copy(Tab.Left, Tab.Top, Tab.Width(), Tab.Height());
    return std::pair(ColorBounds(I, Image), ColorBounds(I, clBlue));
  };
  auto [Img, Text] = Parts(clMaroon);
  EXPECT_EQ(Img.Width(), 12);
  EXPECT_EQ(Img.Height(), 12);
  EXPECT_LE(Img.Right, Text.Left);
  F.Tabs->SetImagePosition(ipRight);
  std::tie(Img, Text) = Parts(clMaroon);
  EXPECT_GE(Img.Left, Text.Right);
  F.Tabs->SetImagePosition(ipTop);
  std::tie(Img, Text) = Parts(clMaroon);
  EXPECT_LE(Img.Bottom, Text.Top);
  // A disabled tab shows its own image, or else its image greyed.
  F.Tabs->Tabs().Items(0)->Enabled = false;
  F.Tabs->Tabs().Items(0)->DisabledIndex = 1;
  F.Tabs->TabsChanged();
  EXPECT_EQ(Parts(clOlive).first.Width(), 12);
  EXPECT_TRUE(IsRectEmpty(Parts(clMaroon).first));
  F.Tabs->Tabs().Items(0)->DisabledIndex = -1;
  F.Tabs->TabsChanged();
  EXPECT_TRUE(IsRectEmpty(Parts(clMaroon).first));
  EXPECT_TRUE(IsRectEmpty(Parts(clOlive).first));
  // The list going away takes the images with it.
  Images.reset();
  EXPECT_EQ(F.Tabs->Images(), nullptr);
  EXPECT_EQ(F.Tabs->TabControlRect(0).Width(), Plain);
}

TEST(KvTabsPaint, TheMenuButtonsArrowPointsAtTheCard) {
  // The black glyph is broad at the end away from the card: its first row or column
  // against its last.
  struct TCase {
    TKvTabOrientation Strip;
    bool UpDown, BroadFirst;
  };
  for (const TCase& C : {TCase{toTop, true, true}, TCase{toBottom, true, false}, TCase{toLeft, false, true},
                         TCase{toRight, false, false}}) {
    TTabForm F({"One", "Two"});
    F.Tabs->SetTabOrientation(C.Strip);
    Colour(F.Tabs);
    F.Tabs->SetShowMenuButton(true);
    TKvTabMenuButton* Button = F.Tabs->MenuButton();
    const QImage I = Render(Button);
    const TRect G = ColorBounds(I, clBlack);
    auto Line = [&](int32_t At) {
      return testsupport::CountColor(I, clBlack,
                                     C.UpDown ? Rect(G.Left, At, G.Right, At + 1) : Rect(At, G.Top, At + 1, G.Bottom));
    };
    const int32_t First = Line(C.UpDown ? G.Top : G.Left), Last = Line(C.UpDown ? G.Bottom - 1 : G.Right - 1);
    const std::string What = StripName(C.Strip);
    EXPECT_TRUE(C.BroadFirst ? First > Last : First < Last) << What << ": " << First << " " << Last;
    EXPECT_EQ(PixelAt(I, 0, 0), TColor(clRed)) << What;  // the frame in the flat colour around the face
    EXPECT_EQ(PixelAt(I, 2, 2), TColor(clAqua)) << What;
    // Held down with the mouse over it, the glyph moves one pixel right and down.
    testsupport::MousePress(Button, 5, 5);
    EXPECT_EQ(ColorBounds(Render(Button), clBlack), Rect(G.Left + 1, G.Top + 1, G.Right + 1, G.Bottom + 1)) << What;
    testsupport::TDialogScript Script;
    Script.Dismiss();
    testsupport::MouseRelease(Button, 5, 5);
  }
}
