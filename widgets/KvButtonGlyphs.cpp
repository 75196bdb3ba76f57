// KvButton: the stock glyphs of the bitmap button's kinds, drawn from pixel maps of
// our own. Each is a strip of two 16 x 16 cells: the picture, and the picture embossed
// in the disabled colours.
#include <array>
#include <memory>

#include "widgets/KvButton.h"
#include "widgets/KvGrafx.h"

namespace {

constexpr int32_t CellSize = 16;
// Stands for "no pixel" in the glyphs (the bottom-left pixel, so the bitmap's own
// transparent colour).
constexpr TColor GlyphTransparent = clOlive;

using TPixelMap = std::array<const char*, CellSize>;

// '.' is transparent; the letters are the colours of PaletteColor.
TColor PaletteColor(char C) {
  switch (C) {
    case 'G': return RGB(0, 160, 0);
    case 'g': return RGB(0, 96, 0);
    case 'R': return RGB(220, 0, 0);
    case 'r': return RGB(128, 0, 0);
    case 'B': return RGB(0, 64, 200);
    case 'K': return clBlack;
    case 'W': return clWhite;
    case 'N': return RGB(140, 80, 20);
    case 'Y': return RGB(255, 220, 0);
    default: return GlyphTransparent;
  }
}

constexpr TPixelMap Tick = {
    "................", "................", "................", "............gG..",
    "...........gGG..", "..........gGGg..", ".........gGGg...", "..gG....gGGg....",
    "..GGg..gGGg.....", "..gGGggGGg......", "...gGGGGg.......", "....gGGg........",
    ".....gg.........", "................", "................", "................",
};

constexpr TPixelMap Cross = {
    "................", "................", "...rR......Rr...", "...RRR....RRR...",
    "....RRR..RRR....", ".....RRRRRR.....", "......RRRR......", "......RRRR......",
    ".....RRRRRR.....", "....RRR..RRR....", "...RRR....RRR...", "...rR......Rr...",
    "................", "................", "................", "................",
};

constexpr TPixelMap Question = {
    "................", ".....BBBBB......", "....BBB.BBB.....", "....BB...BB.....",
    ".........BB.....", "........BBB.....", ".......BBB......", "......BBB.......",
    "......BB........", "......BB........", "................", "......BB........",
    "......BB........", "................", "................", "................",
};

constexpr TPixelMap NoEntry = {
    "................", ".....RRRRRR.....", "...RRRRRRRRRR...", "..RRR......RRR..",
    "..RR......RRRR..", ".RR......RRR.RR.", ".RR.....RRR..RR.", ".RR....RRR...RR.",
    ".RR...RRR....RR.", ".RR..RRR.....RR.", ".RR.RRR......RR.", "..RRRR......RR..",
    "..RRR......RRR..", "...RRRRRRRRRR...", ".....RRRRRR.....", "................",
};

constexpr TPixelMap Door = {
    "................", "..KKKKKKKKKK....", "..KNNNNNNNNK....", "..KNNNNNNNNK....",
    "..KNKKKKKKNK....", "..KNK....KNK....", "..KNKKKKKKNK....", "..KNNNNNNNNK....",
    "..KNNNNNNYNK....", "..KNNNNNNNNK....", "..KNKKKKKKNK....", "..KNK....KNK....",
    "..KNKKKKKKNK....", "..KNNNNNNNNK....", "..KKKKKKKKKK....", "................",
};

constexpr TPixelMap Stop = {
    "................", ".....rrrrrr.....", "....rRRRRRRr....", "...rRRRRRRRRr...",
    "..rRRRRRRRRRRr..", "..rRRRRRRRRRRr..", "..rRRRRRRRRRRr..", "..rRWWWWWWWWRr..",
    "..rRWWWWWWWWRr..", "..rRRRRRRRRRRr..", "..rRRRRRRRRRRr..", "..rRRRRRRRRRRr..",
    "...rRRRRRRRRr...", "....rRRRRRRr....", ".....rrrrrr.....", "................",
};

constexpr TPixelMap Again = {
    "................", ".....GGGGG..G...", "...GGGGGGGGGG...", "..GGG.....GGG...",
    "..GG.....GGGG...", ".GG.............", ".GG.............", ".GG.............",
    ".GG..........GG.", ".GG..........GG.", "..GG........GG..", "..GGG......GGG..",
    "...GGGGGGGGGG...", ".....GGGGGG.....", "................", "................",
};

constexpr TPixelMap Skip = {
    "................", "................", "................", "........B.......",
    "........BB......", "........BBB.....", ".BBBBBBBBBBB....", ".BBBBBBBBBBBB...",
    ".BBBBBBBBBBB....", "........BBB.....", "........BB......", "........B.......",
    "................", "................", "................", "................",
};

constexpr TPixelMap TwoTicks = {
    "................", "................", "................", "................",
    ".......G......G.", "......GG.....GG.", ".....GGG....GGG.", "G...GGG.G..GGG..",
    "GG.GGG.GG.GGG...", "GGGGG..GGGGG....", ".GGG....GGG.....", "..G......G......",
    "................", "................", "................", "................",
};

constexpr bool WellFormed(const TPixelMap& Map) {
  for (const char* Row : Map) {
    int32_t N = 0;
    while (Row[N] != '\0') ++N;
    if (N != CellSize) return false;
  }
  return true;
}
static_assert(WellFormed(Tick) && WellFormed(Cross) && WellFormed(Question) && WellFormed(NoEntry) &&
              WellFormed(Door) && WellFormed(Stop) && WellFormed(Again) && WellFormed(Skip) && WellFormed(TwoTicks));

const TPixelMap* PictureOf(TBitBtnKind Kind) {
  switch (Kind) {
    case bkOK:
    case bkYes: return &Tick;
    case bkCancel: return &Cross;
    case bkHelp: return &Question;
    case bkNo: return &NoEntry;
    case bkClose: return &Door;
    case bkAbort: return &Stop;
    case bkRetry: return &Again;
    case bkIgnore: return &Skip;
    case bkAll: return &TwoTicks;
    default: return nullptr;
  }
}

bool Drawn(const TPixelMap& Map, int32_t X, int32_t Y) {
  return X >= 0 && Y >= 0 && X < CellSize && Y < CellSize && Map[static_cast<size_t>(Y)][X] != '.';
}

std::unique_ptr<TBitmap> MakeStockGlyph(const TPixelMap& Map) {
  auto Glyph = std::make_unique<TBitmap>(2 * CellSize, CellSize);
  TCanvas* C = Glyph->Canvas();
  C->Brush()->SetColor(GlyphTransparent);
  C->FillRect(Rect(0, 0, 2 * CellSize, CellSize));
  for (int32_t Y = 0; Y < CellSize; ++Y)
    for (int32_t X = 0; X < CellSize; ++X)
      if (Drawn(Map, X, Y)) C->SetPixel(X, Y, PaletteColor(Map[static_cast<size_t>(Y)][X]));
  EmbossDisabledCell(Glyph.get(), CellSize);
  return Glyph;
}

}  // namespace

const TBitmap* StockGlyph(TBitBtnKind Kind) {
  static std::array<std::unique_ptr<TBitmap>, bkAll + 1> Cache;
  std::unique_ptr<TBitmap>& Glyph = Cache.at(Kind);
  if (!Glyph) {
    const TPixelMap* Map = PictureOf(Kind);
    Glyph = Map ? MakeStockGlyph(*Map) : std::make_unique<TBitmap>();
  }
  return Glyph.get();
}
