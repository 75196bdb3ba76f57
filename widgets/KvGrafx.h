#pragma once
// Bitmap and gradient drawing of the widget library: gradient fills in ten directions,
// replication and mirroring of a drawn block, tiling, masked stretched drawing,
// flipping, and the parent's image under a transparent control. GUI thread only.

#include <cstdint>

#include "platform/gui/Controls.h"
#include "platform/gui/Graphics.h"
#include "widgets/KvCommon.h"

// 1 draws one band per colour change; larger factors draw wider bands.
using TSmoothFactor = uint8_t;

// Fills R with a gradient from StartColor to EndColor:
//   gdDiagonalUp      start at the bottom-left corner, end at the top-right;
//   gdDiagonalDown    start at the top-left corner, end at the bottom-right;
//   gdHorizontalEnd   start at the left edge, end at the right;
//   gdHorizontalCenter start at both edges, end in the middle column;
//   gdVerticalEnd, gdVerticalCenter  the same from the top;
//   gdSquareBox       start at the edges, end in the centre, in nested rectangles;
//   gdHorizontalBox, gdVerticalBox, gdBigSquareBox  the same within a quarter of the
//                     width, the height or both from the edges, which keep the start colour.
// The end colours are exact with smooth factor 1. A rectangle without width or height
// draws nothing; equal colours give a flat fill. The last eleven gradients worked out
// are kept (by size, direction, smooth factor and colours) and drawn again from there.
void FillGradientRect(TCanvas* Canvas, const TRect& R, TGradientDirection Direction, TSmoothFactor SmoothFactor,
                      TColor EndColor, TColor StartColor);

// The shapes, drawn into Bitmap from (0, 0):
// a strip of Length positions along the width (or, Vertical, the height) and up to
// eight pixels across, from StartColor at position 0 (and, Center, at both ends) to
// EndColor at the far end (or the middle);
void FillLinearGradient(TBitmap* Bitmap, bool Vertical, bool Center, TSmoothFactor SmoothFactor, TColor EndColor,
                        TColor StartColor, int32_t Length);
// nested rectangles over Width x Height, EndColor in the centre, StartColor at the
// edges and in the insets;
void FillBoxGradient(TBitmap* Bitmap, int32_t Width, int32_t Height, TSmoothFactor SmoothFactor, TColor EndColor,
                     TColor StartColor, int32_t VerticalInset, int32_t HorizontalInset);
// bands parallel to a diagonal, from StartColor at the bottom-left corner to EndColor
// at the top-right; a negative Width puts StartColor at the top-left, EndColor at the
// bottom-right.
void FillDiagonalGradient(TBitmap* Bitmap, int32_t Width, int32_t Height, TSmoothFactor SmoothFactor, TColor EndColor,
                          TColor StartColor);

// Copies the block drawn at (X, Y) next to and below itself, doubling, until it covers
// TotalWidth x TotalHeight (the last copies cut to fit), with the raster operation Rop.
void ReplicateBlock(TCanvas* Canvas, int32_t X, int32_t Y, TCopyMode Rop, int32_t BlockWidth, int32_t BlockHeight,
                    int32_t TotalWidth, int32_t TotalHeight);
// Copies the top half, flipped, onto the bottom half, then the left half onto the right;
// an odd size keeps its middle row or column.
void MirrorHalves(TCanvas* Canvas, int32_t X, int32_t Y, TCopyMode Rop, int32_t Height, int32_t Width);
// Covers R with copies of Bitmap, row by row, the last ones cut at R's edges.
void TileBitmapRect(TCanvas* Canvas, const TBitmap* Bitmap, const TRect& R);
// Stretches Bitmap's Src to Dest, leaving out the pixels of TransparentColor.
void StretchDrawMasked(TCanvas* Canvas, const TBitmap* Bitmap, const TRect& Dest, TColor TransparentColor,
                       const TRect& Src);
// Turns Bitmap upside down: row y goes to row height - 1 - y.
void FlipBitmapVertically(TBitmap* Bitmap);
// The disabled cell of a two-cell glyph strip: cell 0 holds the picture on the strip's
// transparent colour; cell 1 (transparent) gets the picture's shape in clBtnShadow,
// lit in clBtnHighlight below and right of it.
void EmbossDisabledCell(TBitmap* Strip, int32_t CellWidth);
// Paints what Control's parent (and the controls below it) show under Control into
// Canvas, in Control's client coordinates. With InvalidateParent, a parent that is
// neither a custom control nor a form is also asked to repaint.
void PaintParentBackground(TControl* Control, TCanvas* Canvas, bool InvalidateParent);
// Tells Child, a control on a toolbar, that the toolbar lays out its buttons' images
// with Layout (a TButtonLayout); a tool button that follows its toolbar takes it.
void SetChildButtonLayout(TControl* Child, uint8_t Layout);
inline void PaintParentBackgroundToCanvas(TControl* Control, TCanvas* Canvas, bool InvalidateParent) {
  PaintParentBackground(Control, Canvas, InvalidateParent);
}
