#pragma once
// Points, sizes and rectangles as the drawing and layout code uses them. A rectangle's
// Right and Bottom are exclusive: (0, 0, 10, 5) covers the columns 0 to 9 and the
// rows 0 to 4. A rectangle whose Right is left of its Left (or Bottom above its Top)
// is empty, except where a routine says that negative extents mirror.

#include <algorithm>
#include <cstdint>

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  TPoint TopLeft() const { return {Left, Top}; }
  TPoint BottomRight() const { return {Right, Bottom}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TPoint Point(int32_t X, int32_t Y) { return {X, Y}; }
inline TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return {Left, Top, Right, Bottom};
}
inline TRect Bounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height) {
  return {Left, Top, Left + Width, Top + Height};
}

inline bool IsRectEmpty(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }
// Right and bottom edges are outside.
inline bool PtInRect(const TRect& R, const TPoint& P) {
  return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}
inline void OffsetRect(TRect& R, int32_t DX, int32_t DY) {
  R.Left += DX; R.Right += DX; R.Top += DY; R.Bottom += DY;
}
// Positive amounts grow the rectangle on every side, negative ones shrink it.
inline void InflateRect(TRect& R, int32_t DX, int32_t DY) {
  R.Left -= DX; R.Right += DX; R.Top -= DY; R.Bottom += DY;
}
// The common part of A and B; false (and an all-zero rectangle) when there is none.
inline bool IntersectRect(TRect& Dest, const TRect& A, const TRect& B) {
  TRect R{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
          std::min(A.Bottom, B.Bottom)};
  if (IsRectEmpty(R)) R = TRect{};
  Dest = R;
  return !IsRectEmpty(R);
}
// The smallest rectangle holding both; an empty one does not count.
inline TRect UnionRect(const TRect& A, const TRect& B) {
  if (IsRectEmpty(A)) return B;
  if (IsRectEmpty(B)) return A;
  return {std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
          std::max(A.Bottom, B.Bottom)};
}
inline TPoint CenterPoint(const TRect& R) {
  return {(R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2};
}
