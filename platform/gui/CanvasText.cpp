// Text on the canvas: single lines, measuring and formatted text (DrawText).
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <unordered_map>

#include "platform/gui/Graphics.h"
#include "platform/gui/QtSupport.h"

namespace {

constexpr int TabStopChars = 8;

// The width of S in Font. Measuring shapes the text, which costs as much as drawing it,
// and the same few texts are measured again and again (a progress bar's percentage at
// each step, a label's caption at each paint): the widths measured last are kept, per
// thread.
int Advance(const QFont& Font, const QString& S) {
  struct TKey {
    QFont Font;
    QString Text;
    bool operator==(const TKey&) const = default;
  };
  struct THash {
    size_t operator()(const TKey& K) const { return qHash(K.Text, qHash(K.Font)); }
  };
  constexpr size_t Kept = 1024;
  thread_local std::unordered_map<TKey, int, THash> Widths;
  TKey Key{Font, S};
  if (auto It = Widths.find(Key); It != Widths.end()) return It->second;
  if (Widths.size() >= Kept) Widths.clear();
  const int Width = QFontMetrics(Font).horizontalAdvance(S);
  Widths.emplace(std::move(Key), Width);
  return Width;
}

// One line of formatted text: what is shown, and the positions of its underlined
// accelerator characters.
struct TTextLine {
  QString Text;
  std::vector<qsizetype> Accels;
};

class TTextMetrics {
public:
  TTextMetrics(const QFont& Font, bool ExpandTabs)
      : FFont(Font), FMetrics(Font), FTabWidth(TabStopChars * std::max(1, FMetrics.averageCharWidth())),
        FExpandTabs(ExpandTabs) {}

  // Width of S, with tabs going to the next tab stop when they expand.
  int Width(const QString& S) const {
    if (!FExpandTabs || !S.contains(u'\t')) return Advance(FFont, S);
    int X = 0;
    qsizetype Start = 0;
    for (qsizetype I = 0; I <= S.size(); ++I) {
      if (I == S.size() || S[I] == u'\t') {
        X += Advance(FFont, S.mid(Start, I - Start));
        if (I < S.size()) X = (X / FTabWidth + 1) * FTabWidth;
        Start = I + 1;
      }
    }
    return X;
  }
  int Height() const { return FMetrics.height(); }
  int Ascent() const { return FMetrics.ascent(); }
  const QFontMetrics& Metrics() const { return FMetrics; }
  bool ExpandTabs() const { return FExpandTabs; }

private:
  QFont FFont;
  QFontMetrics FMetrics;
  int FTabWidth;
  bool FExpandTabs;
};

// Removes the accelerator marks: "&&" is one '&', '&' before a character underlines it,
// a lone '&' at the end is dropped.
TTextLine StripPrefixes(const QString& S) {
  TTextLine Line;
  for (qsizetype I = 0; I < S.size(); ++I) {
    if (S[I] != u'&') {
      Line.Text += S[I];
    } else if (I + 1 < S.size()) {
      ++I;
      if (S[I] != u'&') Line.Accels.push_back(Line.Text.size());
      Line.Text += S[I];
    }
  }
  return Line;
}

// Hard lines of S: "\r\n", "\n" and "\r" each end a line.
std::vector<QString> SplitLines(const QString& S) {
  std::vector<QString> Lines(1);
  for (qsizetype I = 0; I < S.size(); ++I) {
    if (S[I] == u'\r' || S[I] == u'\n') {
      if (S[I] == u'\r' && I + 1 < S.size() && S[I + 1] == u'\n') ++I;
      Lines.emplace_back();
    } else {
      Lines.back() += S[I];
    }
  }
  return Lines;
}

TTextLine Slice(const TTextLine& Line, qsizetype From, qsizetype To) {
  TTextLine Part{Line.Text.mid(From, To - From), {}};
  for (qsizetype A : Line.Accels)
    if (A >= From && A < To) Part.Accels.push_back(A - From);
  return Part;
}

// Breaks Line between words so that each part fits Width; a word wider than Width gets
// a line of its own and is not broken. The spaces at a break are dropped.
void WrapLine(const TTextLine& Line, int Width, const TTextMetrics& M, std::vector<TTextLine>& Out) {
  const QString& S = Line.Text;
  if (S.isEmpty()) {
    Out.push_back(Line);
    return;
  }
  qsizetype Pos = 0;
  while (Pos < S.size()) {
    qsizetype Fit = -1;
    qsizetype I = Pos;
    while (I < S.size()) {
      while (I < S.size() && S[I] == u' ') ++I;  // leading spaces belong to the word
      while (I < S.size() && S[I] != u' ') ++I;
      if (Fit >= 0 && M.Width(S.mid(Pos, I - Pos)) > Width) break;
      Fit = I;
      if (M.Width(S.mid(Pos, I - Pos)) > Width) break;
    }
    Out.push_back(Slice(Line, Pos, Fit));
    Pos = Fit;
    while (Pos < S.size() && S[Pos] == u' ') ++Pos;
  }
}

const QString Ellipsis = QStringLiteral("...");

// The longest start of S that fits Width with "..." after it.
QString EndEllipsis(const QString& S, int Width, const TTextMetrics& M) {
  qsizetype N = S.size();
  while (N > 0 && M.Width(S.left(N) + Ellipsis) > Width) --N;
  return S.left(N) + Ellipsis;
}

// Keeps the part after the last path separator and as much of the start as fits, with
// "..." between them; falls back to the end ellipsis when even the last part is too wide.
QString PathEllipsis(const QString& S, int Width, const TTextMetrics& M) {
  const qsizetype Sep = std::max(S.lastIndexOf(u'\\'), S.lastIndexOf(u'/'));
  if (Sep < 0) return EndEllipsis(S, Width, M);
  const QString Tail = S.mid(Sep);
  for (qsizetype N = Sep; N >= 0; --N) {
    const QString Candidate = S.left(N) + Ellipsis + Tail;
    if (M.Width(Candidate) <= Width) return Candidate;
  }
  return EndEllipsis(Ellipsis + Tail, Width, M);
}

}  // namespace

int32_t TCanvas::TextWidth(const std::string& Text) const {
  return Advance(FFont->QtFont(), ToQString(Text));
}

int32_t TCanvas::TextHeight(const std::string&) const { return QFontMetrics(FFont->QtFont()).height(); }

TSize TCanvas::TextExtent(const std::string& Text) const { return {TextWidth(Text), TextHeight(Text)}; }

// One line of text with its reference point at (X, Y) by the text alignment, turned by
// the font's orientation around that point.
void TCanvas::DrawTextLine(int32_t X, int32_t Y, const std::string& Text, const TRect* Clip, bool Opaque) {
  QPainter* P = PreparePainter();
  const QString S = ToQString(Text);
  const QFont& Font = FFont->QtFont();
  const QFontMetrics M(Font);
  const int W = Advance(Font, S);
  int DX = 0;
  if ((FTextAlign & TA_CENTER) == TA_CENTER)
    DX = -W / 2;
  else if (FTextAlign & TA_RIGHT)
    DX = -W;
  int Base = M.ascent();
  if ((FTextAlign & TA_BASELINE) == TA_BASELINE)
    Base = 0;
  else if (FTextAlign & TA_BOTTOM)
    Base = -M.descent();
  P->save();
  if (Clip) P->setClipRect(ToQRect(*Clip), Qt::IntersectClip);
  P->translate(X, Y);
  if (FFont->Orientation() != 0) P->rotate(-FFont->Orientation() / 10.0);
  if (Opaque) P->fillRect(QRect(DX, Base - M.ascent(), W, M.height()), ToQColor(FBrush->Color()));
  if (FTextAlign & TA_RTLREADING) P->setLayoutDirection(Qt::RightToLeft);
  P->setFont(Font);
  P->setPen(ToQColor(FFont->Color()));
  P->drawText(QPoint(DX, Base), S);
  P->restore();
}

void TCanvas::TextOut(int32_t X, int32_t Y, const std::string& Text) {
  Changing();
  DrawTextLine(X, Y, Text, nullptr, FBrush->Style() == bsSolid);
  FPenPos = {X + TextWidth(Text), Y};
  Changed();
}

void TCanvas::TextRect(const TRect& R, int32_t X, int32_t Y, const std::string& Text) {
  Changing();
  if (FBrush->Style() == bsSolid && !IsRectEmpty(R))
    PreparePainter()->fillRect(ToQRect(R), ToQColor(FBrush->Color()));
  DrawTextLine(X, Y, Text, &R, false);
  Changed();
}

int32_t TCanvas::DrawText(const std::string& Text, TRect& R, uint32_t Format) {
  const TTextMetrics M(FFont->QtFont(), Format & DT_EXPANDTABS);
  const bool SingleLine = Format & DT_SINGLELINE;
  const int Width = R.Width();
  QString Source = ToQString(Text);

  std::vector<TTextLine> Lines;
  if (!Source.isEmpty()) {
    if (SingleLine) Source.remove(u'\r').remove(u'\n');
    for (const QString& Hard : SingleLine ? std::vector<QString>{Source} : SplitLines(Source)) {
      const TTextLine Line = (Format & DT_NOPREFIX) ? TTextLine{Hard, {}} : StripPrefixes(Hard);
      if ((Format & DT_WORDBREAK) && !SingleLine)
        WrapLine(Line, Width, M, Lines);
      else
        Lines.push_back(Line);
    }
  }
  if (Format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS)) {
    for (TTextLine& Line : Lines) {
      if (M.Width(Line.Text) <= Width) continue;
      const qsizetype Before = Line.Text.size();
      Line.Text = (Format & DT_PATH_ELLIPSIS) ? PathEllipsis(Line.Text, Width, M) : EndEllipsis(Line.Text, Width, M);
      // Accelerators that no longer stand where they stood lose their underline.
      const qsizetype Kept = (Format & DT_PATH_ELLIPSIS) ? 0 : Line.Text.size() - Ellipsis.size();
      std::erase_if(Line.Accels, [&](qsizetype A) { return A >= Kept || A >= Before; });
    }
  }

  const int LineHeight = M.Height();
  const int32_t TextHeight = static_cast<int32_t>(Lines.size()) * LineHeight;
  if (Format & DT_CALCRECT) {
    int MaxWidth = 0;
    for (const TTextLine& Line : Lines) MaxWidth = std::max(MaxWidth, M.Width(Line.Text));
    R.Right = R.Left + MaxWidth;
    R.Bottom = R.Top + TextHeight;
    return TextHeight;
  }

  int32_t Top = R.Top;
  if (SingleLine && (Format & DT_VCENTER))
    Top = (R.Top + R.Bottom - LineHeight) >> 1;
  else if (SingleLine && (Format & DT_BOTTOM))
    Top = R.Bottom - LineHeight;
  if (Lines.empty()) return (Top - R.Top) + TextHeight;

  Changing();
  QPainter* P = PreparePainter();
  P->save();
  if (!(Format & DT_NOCLIP)) P->setClipRect(ToQRect(R), Qt::IntersectClip);
  if (Format & DT_RTLREADING) P->setLayoutDirection(Qt::RightToLeft);
  P->setFont(FFont->QtFont());
  const QColor TextColor = ToQColor(FFont->Color());
  const int UnderlineY = M.Ascent() + std::max(1, M.Metrics().underlinePos());
  const int UnderlineWidth = std::max(1, M.Metrics().lineWidth());
  for (size_t I = 0; I < Lines.size(); ++I) {
    const TTextLine& Line = Lines[I];
    const int LineWidth = M.Width(Line.Text);
    int32_t X = R.Left;
    if (Format & DT_CENTER)
      X = (R.Left + R.Right - LineWidth) >> 1;
    else if (Format & DT_RIGHT)
      X = R.Right - LineWidth;
    const int32_t Y = Top + static_cast<int32_t>(I) * LineHeight;
    if (FBrush->Style() == bsSolid) P->fillRect(QRect(X, Y, LineWidth, LineHeight), ToQColor(FBrush->Color()));
    P->setPen(TextColor);
    // Tabs are placed by measuring; the pieces between them are drawn one by one.
    qsizetype Start = 0;
    for (qsizetype C = 0; C <= Line.Text.size(); ++C) {
      if (C < Line.Text.size() && !(M.ExpandTabs() && Line.Text[C] == u'\t')) continue;
      const QString Piece = Line.Text.mid(Start, C - Start);
      if (!Piece.isEmpty()) P->drawText(QPoint(X + M.Width(Line.Text.left(Start)), Y + M.Ascent()), Piece);
      Start = C + 1;
    }
    if (!(Format & DT_HIDEPREFIX)) {
      for (qsizetype A : Line.Accels) {
        const int X0 = X + M.Width(Line.Text.left(A));
        const int X1 = X + M.Width(Line.Text.left(A + 1));
        P->fillRect(QRect(X0, Y + UnderlineY, X1 - X0, UnderlineWidth), TextColor);
      }
    }
  }
  P->restore();
  Changed();
  return (Top - R.Top) + TextHeight;
}
