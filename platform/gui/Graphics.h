#pragma once
// Colours, fonts, pens, brushes, regions, bitmaps and the canvas that draws on them.
//
// The canvas keeps the classic raster rules the painting code was written for, over a
// Qt image: no antialiasing; a line leaves out its end point (MoveTo(1, 1), LineTo(6, 1)
// sets the columns 1 to 5); a filled shape leaves out its right and bottom edge;
// FillRect and FrameRect cover Left..Right-1 and Top..Bottom-1; clip regions are in
// device pixels, the viewport origin moves logical coordinates. Everything runs on the
// GUI thread.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/gui/Types.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class QColor;
class QFont;
class QImage;
class QPainter;
class QRect;
class QRegion;

// ---------------------------------------------------------------------------
// Colours

// $00BBGGRR for an RGB colour; $FF0000nn for system colour nn; clNone and clDefault are
// markers, not colours.
using TColor = uint32_t;

enum : TColor {
  clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
  clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
  clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
  clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clLtGray = 0xC0C0C0,
  clDkGray = 0x808080, clWhite = 0xFFFFFF, clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6,
  clCream = 0xF0FBFF, clMedGray = 0xA4A0A0,
  clNone = 0x1FFFFFFF, clDefault = 0x20000000,

  clSystemColor = 0xFF000000,
  clScrollBar = clSystemColor | 0, clBackground = clSystemColor | 1,
  clActiveCaption = clSystemColor | 2, clInactiveCaption = clSystemColor | 3,
  clMenu = clSystemColor | 4, clWindow = clSystemColor | 5, clWindowFrame = clSystemColor | 6,
  clMenuText = clSystemColor | 7, clWindowText = clSystemColor | 8,
  clCaptionText = clSystemColor | 9, clActiveBorder = clSystemColor | 10,
  clInactiveBorder = clSystemColor | 11, clAppWorkSpace = clSystemColor | 12,
  clHighlight = clSystemColor | 13, clHighlightText = clSystemColor | 14,
  clBtnFace = clSystemColor | 15, clBtnShadow = clSystemColor | 16,
  clGrayText = clSystemColor | 17, clBtnText = clSystemColor | 18,
  clInactiveCaptionText = clSystemColor | 19, clBtnHighlight = clSystemColor | 20,
  cl3DDkShadow = clSystemColor | 21, cl3DLight = clSystemColor | 22,
  clInfoText = clSystemColor | 23, clInfoBk = clSystemColor | 24,
  clHotLight = clSystemColor | 26, clGradientActiveCaption = clSystemColor | 27,
  clGradientInactiveCaption = clSystemColor | 28, clMenuHighlight = clSystemColor | 29,
  clMenuBar = clSystemColor | 30,
};

// What Pixels answers for a point outside the image or the clip region.
constexpr TColor CLR_INVALID = 0xFFFFFFFF;

constexpr TColor RGB(uint8_t R, uint8_t G, uint8_t B) {
  return static_cast<TColor>(R) | (static_cast<TColor>(G) << 8) | (static_cast<TColor>(B) << 16);
}
constexpr uint8_t GetRValue(TColor C) { return static_cast<uint8_t>(C); }
constexpr uint8_t GetGValue(TColor C) { return static_cast<uint8_t>(C >> 8); }
constexpr uint8_t GetBValue(TColor C) { return static_cast<uint8_t>(C >> 16); }
constexpr bool IsSystemColor(TColor C) { return (C & 0xFF000000) == clSystemColor; }

// The fixed classic desktop colour of system colour Index (0 to 30); black for an
// index without a colour. The table never changes while the program runs, so painting
// is the same on every machine.
TColor GetSysColor(int Index);
// The RGB value of a colour: system colours from the table, RGB colours unchanged.
TColor ColorToRGB(TColor Color);

// ---------------------------------------------------------------------------
// Fonts, pens and brushes

// Base of fonts, pens and brushes: OnChange runs after every change.
class TGraphicsObject : public TPersistent {
public:
  TNotifyEvent OnChange;

protected:
  void Changed();
};

using TFontStyles = uint8_t;
enum : TFontStyles { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
constexpr uint8_t DEFAULT_CHARSET = 1;

// The face of the default font, which stands for "Tahoma" -11, the font the windows are
// laid out for: "DejaVu Sans Condensed", whose metrics come closest, or "DejaVu Sans"
// where that is not installed. Known once the application exists.
const std::string& DefaultFontName();

// A font described by name, height, style and colour, turned into a Qt font when drawn.
// DefaultFontName at pixel height 11 (Height -11, Size 8) is the default. Text is drawn
// without antialiasing.
class TFont : public TGraphicsObject {
public:
  TFont();
  ~TFont() override;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  void Assign(const TPersistent& Source) override;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  // Pixels: negative for the character height without internal leading (-11: an 11
  // pixel font), positive for the whole cell height.
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t Value);
  // Points at 96 pixels per inch; setting it sets Height to -Size*96/72 rounded.
  int32_t Size() const;
  void SetSize(int32_t Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  // Kept for the code that sets it; Qt picks glyphs by Unicode.
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t Value);
  // Escapement of the text in tenths of a degree, counter-clockwise; 0 is horizontal.
  int32_t Orientation() const { return FOrientation; }
  void SetOrientation(int32_t Value);
  static constexpr int32_t PixelsPerInch = 96;

  // The Qt font standing for this one (without the colour and the orientation).
  const QFont& QtFont() const;

private:
  void Change();

  std::string FName;
  int32_t FHeight;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  TFontPitch FPitch = fpDefault;
  uint8_t FCharset = DEFAULT_CHARSET;
  int32_t FOrientation = 0;
  mutable std::unique_ptr<QFont> FQtFont;
};

enum TPenStyle : uint8_t {
  psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame
};
// How the pen (and the interior of filled shapes) combines with what is there: P is the
// pen colour, D the pixel on the canvas.
enum TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot /* ~D */, pmCopy /* P */, pmNotCopy /* ~P */,
  pmMergePenNot /* P | ~D */, pmMaskPenNot /* P & ~D */, pmMergeNotPen /* ~P | D */,
  pmMaskNotPen /* ~P & D */, pmMerge /* P | D */, pmNotMerge /* ~(P | D) */,
  pmMask /* P & D */, pmNotMask /* ~(P & D) */, pmXor /* P ^ D */, pmNotXor /* ~(P ^ D) */
};

// A pen of width 1 (or 0) is a one-pixel line that leaves out its end point. Dashed
// styles apply to one-pixel pens; their gaps are filled with the brush colour while the
// brush is solid, and left alone while it is clear. Wider pens draw solid lines with
// flat ends, centred on the line (psInsideFrame: inside the shape's box).
class TPen : public TGraphicsObject {
public:
  void Assign(const TPersistent& Source) override;
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int32_t Width() const { return FWidth; }
  void SetWidth(int32_t Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode Value);

private:
  TColor FColor = clBlack;
  int32_t FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

enum TBrushStyle : uint8_t { bsSolid, bsClear };

class TBitmap;

// A solid or clear fill, or a pattern: a bitmap repeated from the device origin (0, 0)
// of the canvas, so patterns of neighbouring fills join up. A pattern, while set, fills
// instead of the colour (unless the style is clear).
class TBrush : public TGraphicsObject {
public:
  TBrush();
  ~TBrush() override;
  TBrush(const TBrush&) = delete;
  TBrush& operator=(const TBrush&) = delete;
  void Assign(const TPersistent& Source) override;

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  // The pattern, or nullptr. The brush keeps a copy of the bitmap's pixels as they are
  // when it is set; the bitmap itself is not owned (it may be freed afterwards).
  TBitmap* Bitmap() const { return FBitmap; }
  void SetBitmap(TBitmap* Value);
  // The pattern's pixels (null image when there is none).
  const QImage& Pattern() const;

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  TBitmap* FBitmap = nullptr;
  std::unique_ptr<QImage> FPattern;
};

// ---------------------------------------------------------------------------
// Regions

enum TPolyFillMode : uint8_t { ALTERNATE = 1, WINDING = 2 };
enum TCombineMode : uint8_t { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

// A set of pixels. A rectangle region covers Left..Right-1, Top..Bottom-1; a polygon
// region the pixels whose centres lie inside the polygon (so its right and bottom edges
// are outside), with the alternate (odd-even) or winding rule.
class TRegion {
public:
  TRegion();
  explicit TRegion(const TRect& R);
  TRegion(std::span<const TPoint> Points, TPolyFillMode Mode = ALTERNATE);
  explicit TRegion(const QRegion& Region);
  TRegion(const TRegion& Other);
  TRegion& operator=(const TRegion& Other);
  ~TRegion();

  // Combines A and B by Mode (RGN_COPY takes A).
  static TRegion Combine(const TRegion& A, const TRegion& B, TCombineMode Mode);
  bool Empty() const;
  bool Contains(int32_t X, int32_t Y) const;
  // The smallest rectangle holding the region; all zero when it is empty.
  TRect BoundsRect() const;
  void Offset(int32_t DX, int32_t DY);
  // The rectangles that make up the region, top to bottom.
  std::vector<TRect> Rects() const;
  bool operator==(const TRegion& Other) const;

  const QRegion& QtRegion() const { return *FRegion; }

private:
  std::unique_ptr<QRegion> FRegion;
};

// ---------------------------------------------------------------------------
// The canvas

// Raster operation of CopyRect and of drawing bitmaps: a three-operand code over the
// pattern (the brush, P), the source (S) and the destination (D).
using TCopyMode = uint32_t;
enum : TCopyMode {
  cmBlackness = 0x00000042, cmDstInvert = 0x00550009, cmMergeCopy = 0x00C000CA,
  cmMergePaint = 0x00BB0226, cmNotSrcCopy = 0x00330008, cmNotSrcErase = 0x001100A6,
  cmPatCopy = 0x00F00021, cmPatInvert = 0x005A0049, cmPatPaint = 0x00FB0A09,
  cmSrcAnd = 0x008800C6, cmSrcCopy = 0x00CC0020, cmSrcErase = 0x00440328,
  cmSrcInvert = 0x00660046, cmSrcPaint = 0x00EE0086, cmWhiteness = 0x00FF0062,
};

// DrawText format flags.
enum : uint32_t {
  DT_TOP = 0, DT_LEFT = 0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
  DT_NOCLIP = 0x100, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
  DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000, DT_RTLREADING = 0x20000,
  DT_HIDEPREFIX = 0x100000,
};

// Text alignment of TextOut and TextRect: where the reference point lies on the text.
enum : uint32_t {
  TA_LEFT = 0, TA_TOP = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24,
  TA_RTLREADING = 256,
};

class TGraphic;

class TCanvas : public TPersistent {
public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The image drawn on (not owned; Format_RGB32 or Format_ARGB32_Premultiplied), or
  // nullptr. While bound the image must not be copied or resized by others. Binding resets the clip, origin, alignment and saved
  // states; pen, brush and font stay. Measuring text works without an image; drawing
  // without one raises EInvalidGraphicOperation.
  void SetImage(QImage* Image);
  QImage* Image() const { return FImage; }
  bool HandleAllocated() const { return FImage != nullptr; }
  // Ends Qt's painter on the image (it starts again on the next drawing), so that the
  // image's pixels can be changed directly; clip, origin and saved states stay.
  void ReleasePainter();

  TFont* Font() const { return FFont.get(); }
  void SetFont(const TFont* Value) { FFont->Assign(*Value); }
  TPen* Pen() const { return FPen.get(); }
  void SetPen(const TPen* Value) { FPen->Assign(*Value); }
  TBrush* Brush() const { return FBrush.get(); }
  void SetBrush(const TBrush* Value) { FBrush->Assign(*Value); }
  TPoint PenPos() const { return FPenPos; }
  void SetPenPos(const TPoint& Value) { FPenPos = Value; }
  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }

  // Lines and shapes (logical coordinates).
  void MoveTo(int32_t X, int32_t Y);
  // Draws from the pen position to (X, Y), leaving out (X, Y); the pen moves there.
  void LineTo(int32_t X, int32_t Y);
  // Connected lines; the last point is left out, every other point is drawn once.
  void Polyline(std::span<const TPoint> Points);
  void Polyline(std::initializer_list<TPoint> Points) { Polyline(std::span(Points.begin(), Points.size())); }
  // Filled with the brush (pixel centres inside, odd-even rule) and outlined with the pen.
  void Polygon(std::span<const TPoint> Points);
  void Polygon(std::initializer_list<TPoint> Points) { Polygon(std::span(Points.begin(), Points.size())); }
  // Outline with the pen on the box's edge pixels (Left and Right-1, Top and Bottom-1),
  // interior with the brush. With a clear pen the filled box is one pixel smaller:
  // Left..Right-2 and Top..Bottom-2.
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  // A rectangle with corners rounded by an ellipse of W x H pixels.
  void RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t W, int32_t H);
  // Fills R with the brush (nothing for a clear brush); the pen and its mode play no part.
  void FillRect(const TRect& R);
  // A one-pixel frame just inside R, in the brush.
  void FrameRect(const TRect& R);
  // Inverts every second pixel of a one-pixel frame just inside R (the pixels whose
  // device x + y is even); drawing it twice restores the picture.
  void DrawFocusRect(const TRect& R);

  // Pixels: CLR_INVALID outside the image or the clip region; writes there do nothing.
  TColor Pixels(int32_t X, int32_t Y) const;
  void SetPixel(int32_t X, int32_t Y, TColor Color);

  // Text in the font (colour and orientation included). While the brush is solid the
  // text cells are filled with the brush colour first.
  void TextOut(int32_t X, int32_t Y, const std::string& Text);
  // TextOut clipped to R; a solid brush fills all of R first.
  void TextRect(const TRect& R, int32_t X, int32_t Y, const std::string& Text);
  int32_t TextWidth(const std::string& Text) const;
  // The cell height of the font (ascent plus descent).
  int32_t TextHeight(const std::string& Text) const;
  TSize TextExtent(const std::string& Text) const;
  // Where TextOut's point lies on the text: TA_ flags.
  uint32_t TextAlign() const { return FTextAlign; }
  void SetTextAlign(uint32_t Value) { FTextAlign = Value; }
  // Formatted text in R (DT_ flags). Returns the height of the text; with DT_VCENTER or
  // DT_BOTTOM, the distance from R.Top to the bottom of the text. With DT_CALCRECT
  // nothing is drawn and R's Right and Bottom are set to hold the text (Left and Top
  // stay); a word-wrapped text is measured against R's width. DT_VCENTER and DT_BOTTOM
  // act on single-line text only. '&' marks the next character as an accelerator
  // (underlined; "&&" is one '&') unless DT_NOPREFIX. Tabs expand to stops every eight
  // average character widths with DT_EXPANDTABS. The font's orientation is not applied.
  int32_t DrawText(const std::string& Text, TRect& R, uint32_t Format);

  // Bitmaps and other canvases. Draw and StretchDraw honour a graphic's transparency;
  // otherwise the copy mode combines the pixels. Stretching takes the nearest pixel.
  void Draw(int32_t X, int32_t Y, const TGraphic* Graphic);
  void StretchDraw(const TRect& R, const TGraphic* Graphic);
  // Copies Source's Src to Dest with the copy mode, stretching when the sizes differ
  // and mirroring where one of the two has a negative width or height.
  void CopyRect(const TRect& Dest, const TCanvas* Source, const TRect& Src);
  // Draws Image's Src rectangle to Dest with the copy mode (the primitive of the above).
  void CopyImage(const TRect& Dest, const QImage& Image, const TRect& Src);
  // Lays Image's Src rectangle over Dest, honouring the image's alpha channel; the copy
  // mode plays no part.
  void DrawImage(const TRect& Dest, const QImage& Image, const TRect& Src);

  // Clipping (rectangles in logical coordinates; regions in device pixels).
  // The bounding box of the clip region in logical coordinates (the whole image when
  // nothing clips).
  TRect ClipRect() const;
  void IntersectClipRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void ExcludeClipRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  // Replaces the clip region with a copy of Region; nullptr removes all clipping.
  void SelectClipRgn(const TRegion* Region);
  // The clip region; false when nothing clips.
  bool GetClipRgn(TRegion& Region) const;
  // Saves the clip, the viewport origin and the text alignment; returns the new depth.
  int32_t SaveDC();
  // Back to the state of SaveDC's answer Index (negative: that many levels up).
  void RestoreDC(int32_t Index = -1);
  // The device position of logical (0, 0).
  TPoint ViewportOrg() const { return FOrigin; }
  void SetViewportOrg(int32_t X, int32_t Y);
  void OffsetViewportOrg(int32_t DX, int32_t DY) { SetViewportOrg(FOrigin.X + DX, FOrigin.Y + DY); }

  // Qt's painter on the image with this canvas's clip and origin, for drawing the
  // canvas does not offer. Pen, brush and font are not set.
  QPainter* Painter();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

private:
  struct TSavedState;
  void RequireImage() const;
  QPainter* PreparePainter();
  void EndPainter();
  void Changing();
  void Changed();
  // Sets the composition for drawing in Mode; false when nothing is to be drawn. Color
  // becomes black or white for the modes that ignore the pen colour.
  bool ApplyPenMode(QPainter& P, TPenMode Mode, QColor& Color) const;
  void PlotLine(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t& DashPhase);
  void StrokePath(std::span<const TPoint> Points, bool Closed);
  void FillWithBrush(QPainter& P, const QRect& R);
  void SetBrushOf(QPainter& P) const;
  void RasterBlt(const QRect& Dest, const QImage& Source);
  void DrawTextLine(int32_t X, int32_t Y, const std::string& Text, const TRect* Clip, bool Opaque);
  void SetClip(std::unique_ptr<QRegion> DeviceRegion);
  QRegion ClipOrWhole() const;
  QRect DeviceRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) const;

  QImage* FImage = nullptr;
  std::unique_ptr<QPainter> FPainter;
  bool FPainterStateValid = false;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  TPoint FPenPos;
  TCopyMode FCopyMode = cmSrcCopy;
  uint32_t FTextAlign = TA_LEFT | TA_TOP;
  TPoint FOrigin;
  std::unique_ptr<QRegion> FClip;  // device pixels; null: no clipping
  std::vector<TSavedState> FSaved;
};

class EInvalidGraphicOperation : public Exception {
public:
  using Exception::Exception;
};
class EResNotFound : public Exception {
public:
  using Exception::Exception;
};

// ---------------------------------------------------------------------------
// Graphics: bitmaps and pictures

class TGraphic : public TPersistent {
public:
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual bool Empty() const = 0;
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  // Draws the whole graphic stretched into R.
  virtual void Draw(TCanvas* Canvas, const TRect& R) const = 0;

  TNotifyEvent OnChange;

protected:
  void Changed();

  bool FTransparent = false;
};

enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

// A bitmap with its own canvas. Every format but pf32bit is opaque and starts white;
// pf32bit keeps an alpha channel and starts transparent. Drawing on the canvas raises
// OnChange. Transparent bitmaps leave out their TransparentColor pixels when drawn; in
// tmAuto mode that colour is the bottom-left pixel's.
class TBitmap : public TGraphic {
public:
  TBitmap();
  TBitmap(int32_t AWidth, int32_t AHeight);
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  void Assign(const TPersistent& Source) override;
  int32_t Width() const override;
  int32_t Height() const override;
  void SetWidth(int32_t Value) { SetSize(Value, Height()); }
  void SetHeight(int32_t Value) { SetSize(Width(), Value); }
  // Keeps the pixels that still fit; new pixels get the starting colour.
  void SetSize(int32_t AWidth, int32_t AHeight);
  bool Empty() const override;
  TCanvas* Canvas();
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat Value);
  TColor TransparentColor() const;
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode Value);

  // Reads any image format Qt knows; raises EFOpenError when the file cannot be read.
  void LoadFromFile(const std::string& FileName);
  // Writes by the file name's extension; raises EFCreateError on failure.
  void SaveToFile(const std::string& FileName) const;
  // Loads the Qt resource ":/Name" (or ":/Name.<any extension>"); raises EResNotFound
  // when there is none.
  void LoadFromResourceName(const std::string& Name);

  void Draw(TCanvas* Canvas, const TRect& R) const override;
  // The pixels, for code that works on them directly; call Modified afterwards.
  QImage& Image();
  const QImage& Image() const;
  void Modified() { Changed(); }
  // The image with the transparent pixels cleared (the image itself when not transparent).
  QImage MaskedImage() const;

private:
  void ReplaceImage(const QImage& Image);
  // Image as read from a file or another graphic: pf32bit when it has an alpha channel.
  void TakeImage(const QImage& Image);

  std::unique_ptr<QImage> FImage;
  std::unique_ptr<TCanvas> FCanvas;
  TPixelFormat FPixelFormat = pfDevice;
  TTransparentMode FTransparentMode = tmAuto;
  TColor FTransparentColor = clDefault;
};

// A PNG picture, drawn over what lies under it by its alpha channel.
class TPngImage : public TGraphic {
public:
  TPngImage();
  ~TPngImage() override;
  TPngImage(const TPngImage&) = delete;
  TPngImage& operator=(const TPngImage&) = delete;

  // From another PNG picture.
  void Assign(const TPersistent& Source) override;
  int32_t Width() const override;
  int32_t Height() const override;
  bool Empty() const override;
  // Raises EFOpenError when the file cannot be read as PNG.
  void LoadFromFile(const std::string& FileName);
  void Draw(TCanvas* Canvas, const TRect& R) const override;
  const QImage& Image() const { return *FImage; }

private:
  std::unique_ptr<QImage> FImage;
};

// Holds one graphic, a bitmap or a PNG picture.
class TPicture : public TPersistent {
public:
  TPicture();
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  void Assign(const TPersistent& Source) override;
  // The graphic, or nullptr when the picture is empty.
  TGraphic* Graphic() const { return FGraphic.get(); }
  // Takes a copy of Value (nullptr empties the picture).
  void SetGraphic(const TGraphic* Value);
  // The graphic as a bitmap: made (empty) when there is none; another graphic becomes a
  // bitmap of the same pixels.
  TBitmap* Bitmap();
  int32_t Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int32_t Height() const { return FGraphic ? FGraphic->Height() : 0; }
  // A ".png" file becomes a PNG picture, any other image file a bitmap.
  void LoadFromFile(const std::string& FileName);

  TNotifyEvent OnChange;

private:
  void Adopt(std::unique_ptr<TGraphic> Graphic);
  void Changed();

  std::unique_ptr<TGraphic> FGraphic;
};
