// Text on the canvas: cells and alignment, rotation, and DrawText's measuring, placing,
// clipping, accelerators and ellipses. Font pixels differ between machines, so the
// checks are about boxes, runs and equal renderings, never about glyph shapes.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/gui/Graphics.h"

using namespace testsupport;

namespace {

struct TSheet {
  explicit TSheet(int32_t W = 160, int32_t H = 60) : Image(MakeImage(W, H)) {
    Canvas.SetImage(&Image);
    Canvas.Brush()->SetStyle(bsClear);
    Canvas.Font()->SetColor(clBlack);
  }
  ~TSheet() { Canvas.SetImage(nullptr); }
  QImage Image;
  TCanvas Canvas;
};

TRect Ink(const TSheet& S) { return ColorBounds(S.Image, clBlack); }

bool Inside(const TRect& Inner, const TRect& Outer) {
  return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right && Inner.Bottom <= Outer.Bottom;
}

// The runs of columns that hold ink, left to right: letters apart are runs of their own.
int32_t InkColumnRuns(const QImage& Image) {
  int32_t Runs = 0;
  bool InRun = false;
  for (int32_t X = 0; X < Image.width(); ++X) {
    bool Ink = false;
    for (int32_t Y = 0; Y < Image.height() && !Ink; ++Y) Ink = PixelAt(Image, X, Y) == clBlack;
    if (Ink && !InRun) ++Runs;
    InRun = Ink;
  }
  return Runs;
}

}  // namespace

TEST(CanvasText, TextOutUsesItsCellAndAlignment) {
  TSheet S;
  const int32_t W = S.Canvas.TextWidth("Hello"), H = S.Canvas.TextHeight("Hello");
  EXPECT_EQ(H, 13);  // the default font at 11 pixels: ascent 10, descent 3
  S.Canvas.TextOut(10, 5, "Hello");
  EXPECT_TRUE(Inside(Ink(S), Bounds(10, 5, W, H)));
  EXPECT_FALSE(IsRectEmpty(Ink(S)));
  EXPECT_EQ(S.Canvas.PenPos(), Point(10 + W, 5));
  // Widths are kept per font: the same text in a bold or larger font is measured anew.
  S.Canvas.Font()->SetStyle(fsBold);
  EXPECT_GT(S.Canvas.TextWidth("Hello"), W);
  S.Canvas.Font()->SetStyle(0);
  S.Canvas.Font()->SetHeight(-22);
  EXPECT_GT(S.Canvas.TextWidth("Hello"), W + W / 2);
  S.Canvas.Font()->SetHeight(-11);
  EXPECT_EQ(S.Canvas.TextWidth("Hello"), W);

  // A solid brush fills exactly the text cell.
  TSheet O;
  O.Canvas.Brush()->SetColor(clYellow);
  O.Canvas.TextOut(10, 5, "Hi");
  const int32_t Cell = O.Canvas.TextWidth("Hi") * H;
  EXPECT_EQ(CountColor(O.Image, clYellow, Bounds(10, 5, O.Canvas.TextWidth("Hi"), H)) +
                CountColor(O.Image, clBlack),
            Cell);
  EXPECT_EQ(ColorBounds(O.Image, clYellow), Bounds(10, 5, O.Canvas.TextWidth("Hi"), H));

  TSheet R;
  R.Canvas.SetTextAlign(TA_RIGHT | TA_BASELINE);
  R.Canvas.TextOut(100, 30, "Hello");
  EXPECT_LE(Ink(R).Right, 100);
  EXPECT_GE(Ink(R).Right, 97);
  EXPECT_LE(Ink(R).Bottom, 30);
  EXPECT_GE(Ink(R).Top, 30 - 10);
  TSheet C;
  C.Canvas.SetTextAlign(TA_CENTER | TA_TOP);
  C.Canvas.TextOut(80, 5, "Hello");
  EXPECT_NEAR((Ink(C).Left + Ink(C).Right) / 2.0, 80, 2);
}

TEST(CanvasText, LettersStayApartInBoldAsInRegular) {
  // The program's tab captions, regular and bold, and the About box's bold title: each of
  // their letters stands apart in the font, so black-and-white drawing must keep a
  // column without ink between any two of them.
  struct TCase {
    const char* Text;
    int32_t Height;
    TFontStyles Style;
    int32_t Letters;
  };
  const TCase Cases[] = {
      {"Audio CD", -11, 0, 7},      {"Folder", -11, 0, 6},      {"File", -11, 0, 4},
      {"Audio CD", -11, fsBold, 7}, {"Folder", -11, fsBold, 6}, {"File", -11, fsBold, 4},
      {"Lumo Audio Converter", -16, fsBold, 18},
  };
  for (const TCase& C : Cases) {
    TSheet S(220, 30);
    S.Canvas.Font()->SetHeight(C.Height);
    S.Canvas.Font()->SetStyle(C.Style);
    S.Canvas.TextOut(4, 4, C.Text);
    EXPECT_EQ(InkColumnRuns(S.Image), C.Letters) << C.Text << (C.Style ? " bold" : "");
  }
}

TEST(CanvasText, RotatedTextStaysInsideItsTurnedCell) {
  TSheet Probe;
  const int32_t W = Probe.Canvas.TextWidth("Rotated"), H = Probe.Canvas.TextHeight("Rotated");
  struct TCase {
    int32_t Orientation;
    TPoint At;
    TRect Cell;  // the cell turned around the reference point
  };
  const TCase Cases[] = {
      {0, {20, 20}, Bounds(20, 20, W, H)},
      {900, {20, 100}, Rect(20, 100 - W, 20 + H, 100)},    // up from the point
      {2700, {60, 10}, Rect(60 - H, 10, 60, 10 + W)},      // down from the point
      {1800, {100, 60}, Rect(100 - W, 60 - H, 100, 60)},   // upside down, to the left
  };
  for (const TCase& C : Cases) {
    TSheet S(120, 120);
    S.Canvas.Font()->SetOrientation(C.Orientation);
    S.Canvas.TextOut(C.At.X, C.At.Y, "Rotated");
    const TRect I = Ink(S);
    EXPECT_FALSE(IsRectEmpty(I)) << C.Orientation;
    TRect Loose = C.Cell;
    InflateRect(Loose, 1, 1);
    EXPECT_TRUE(Inside(I, Loose)) << C.Orientation << ": " << I.Left << "," << I.Top << "," << I.Right << "," << I.Bottom;
    // The long side of the ink follows the direction of the text.
    EXPECT_EQ(I.Width() > I.Height(), C.Orientation % 1800 == 0) << C.Orientation;
  }
}

TEST(DrawText, MeasuresWithCalcRect) {
  TSheet S;
  TCanvas& C = S.Canvas;
  const int32_t H = C.TextHeight("X");
  struct TCase {
    const char* Text;
    uint32_t Flags;
    int32_t Width;  // the rectangle's width to wrap against
    int32_t ExpectedWidth;
    int32_t Lines;
  };
  const TCase Cases[] = {
      {"Hello world", 0, 200, C.TextWidth("Hello world"), 1},
      {"&File", 0, 200, C.TextWidth("File"), 1},
      {"&File", DT_NOPREFIX, 200, C.TextWidth("&File"), 1},
      {"A&&B", 0, 200, C.TextWidth("A&B"), 1},
      {"one\ntwo\r\nthree", 0, 200, C.TextWidth("three"), 3},
      {"one\ntwo", DT_SINGLELINE, 200, C.TextWidth("onetwo"), 1},
      {"aaa bbb ccc", DT_WORDBREAK, C.TextWidth("aaa bbb"), C.TextWidth("aaa bbb"), 2},
      {"aaa aaa aaa", DT_WORDBREAK, C.TextWidth("aaa aaa") - 1, C.TextWidth("aaa"), 3},
      {"unbreakable", DT_WORDBREAK, 10, C.TextWidth("unbreakable"), 1},
      {"", 0, 200, 0, 0},
  };
  for (const TCase& T : Cases) {
    TRect R = Bounds(7, 9, T.Width, 5);
    const int32_t Height = C.DrawText(T.Text, R, T.Flags | DT_CALCRECT);
    EXPECT_EQ(R.Left, 7) << T.Text;
    EXPECT_EQ(R.Top, 9) << T.Text;
    EXPECT_EQ(R.Width(), T.ExpectedWidth) << T.Text;
    EXPECT_EQ(R.Height(), T.Lines * H) << T.Text;
    EXPECT_EQ(Height, T.Lines * H) << T.Text;
  }
  EXPECT_EQ(CountColor(S.Image, clBlack), 0);  // measuring draws nothing
  // Tabs go to stops eight average characters apart.
  auto Width = [&](const char* T) {
    TRect R = Rect(0, 0, 500, 0);
    C.DrawText(T, R, DT_EXPANDTABS | DT_CALCRECT);
    return R.Width();
  };
  EXPECT_EQ(Width("a\tb"), Width("abc\tb"));
  EXPECT_GT(Width("a\tb"), Width("abcb"));
  EXPECT_EQ(Width("a\t\tb") - Width("a\tb"), Width("a\tb") - C.TextWidth("b"));
}

TEST(DrawText, PlacesAlignsAndClips) {
  const TRect Box = Rect(10, 10, 150, 50);
  struct TCase {
    uint32_t Flags;
    std::function<void(const TRect& Ink)> Check;
  };
  const TCase Cases[] = {
      {DT_CENTER | DT_VCENTER | DT_SINGLELINE,
       [](const TRect& I) {
         EXPECT_NEAR((I.Left + I.Right) / 2.0, 80, 2);
         EXPECT_NEAR((I.Top + I.Bottom) / 2.0, 30, 3);
       }},
      {DT_RIGHT | DT_BOTTOM | DT_SINGLELINE,
       [](const TRect& I) {
         EXPECT_GE(I.Right, 147);
         EXPECT_LE(I.Right, 150);
         EXPECT_LE(I.Bottom, 50);
         EXPECT_GE(I.Top, 50 - 13);
       }},
      // Vertical placement needs a single line.
      {DT_VCENTER, [](const TRect& I) { EXPECT_LT(I.Top, 10 + 4); }},
  };
  for (const TCase& C : Cases) {
    TSheet S;
    TRect R = Box;
    S.Canvas.DrawText("Hi", R, C.Flags);
    EXPECT_TRUE(Inside(Ink(S), Box));
    C.Check(Ink(S));
  }
  const std::string Long = "A line much longer than its little box";
  TSheet Clip;
  TRect Small = Rect(10, 10, 60, 20);
  Clip.Canvas.DrawText(Long, Small, 0);
  EXPECT_TRUE(OnlyColorOutside(Clip.Image, Small, clWhite));
  TSheet NoClip;
  NoClip.Canvas.DrawText(Long, Small, DT_NOCLIP);
  EXPECT_FALSE(OnlyColorOutside(NoClip.Image, Small, clWhite));
}

TEST(DrawText, UnderlinesAccelerators) {
  // Some row under the text holds one run exactly as wide as the accelerator character.
  auto UnderlineRows = [](uint32_t Flags) {
    TSheet S;
    TRect R = Rect(10, 10, 150, 40);
    S.Canvas.DrawText("&File", R, Flags);
    const int32_t FWidth = S.Canvas.TextWidth("F");
    int32_t Rows = 0;
    for (int32_t Y = 10 + 10; Y < 10 + 13; ++Y) {
      const auto Runs = RowRuns(S.Image, Y, 0, 150);
      if (Runs.size() == 3 && Runs[0].second == 10 && Runs[1] == std::make_pair(TColor(clBlack), FWidth)) ++Rows;
    }
    return Rows;
  };
  EXPECT_GE(UnderlineRows(0), 1);
  EXPECT_EQ(UnderlineRows(DT_HIDEPREFIX), 0);
}

TEST(DrawText, EllipsesKeepWhatFits) {
  struct TCase {
    uint32_t Flag;
    std::string Text, Shown;
  };
  const TCase Cases[] = {
      {DT_END_ELLIPSIS, "Hello world, goodbye", "Hello wo..."},
      {DT_PATH_ELLIPSIS, "C:\\aaaa\\bbbb\\file.txt", "C:\\...\\file.txt"},
      {DT_PATH_ELLIPSIS, "/home/user/music/file.flac", "/home/.../file.flac"},
      {DT_END_ELLIPSIS, "Fits", "Fits"},
  };
  for (const TCase& C : Cases) {
    TSheet Drawn, Expected;
    // The box is just wide enough for the expected shortening.
    TRect R = Bounds(5, 5, Drawn.Canvas.TextWidth(C.Shown), 20);
    Drawn.Canvas.DrawText(C.Text, R, DT_SINGLELINE | DT_NOPREFIX | C.Flag);
    Expected.Canvas.TextOut(5, 5, C.Shown);
    EXPECT_TRUE(Drawn.Image == Expected.Image) << C.Text;
  }
}
