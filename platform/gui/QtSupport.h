#pragma once
// Conversions between the class library's types and Qt's, for the library's own sources
// and for controls built over Qt widgets. Not for code outside platform/gui and the
// widget hosts: it pulls in Qt headers.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <string>

#include "platform/gui/Graphics.h"

inline QRgb ToQRgb(TColor Color) {
  TColor C = ColorToRGB(Color);
  return qRgb(GetRValue(C), GetGValue(C), GetBValue(C));
}
inline QColor ToQColor(TColor Color) { return QColor(ToQRgb(Color)); }
inline TColor FromQRgb(QRgb C) { return RGB(qRed(C), qGreen(C), qBlue(C)); }

inline QRect ToQRect(const TRect& R) { return QRect(R.Left, R.Top, R.Width(), R.Height()); }
inline TRect FromQRect(const QRect& R) { return Bounds(R.x(), R.y(), R.width(), R.height()); }
inline QPoint ToQPoint(const TPoint& P) { return QPoint(P.X, P.Y); }
inline TPoint FromQPoint(const QPoint& P) { return {P.x(), P.y()}; }

inline QString ToQString(const std::string& S) { return QString::fromUtf8(S.data(), static_cast<qsizetype>(S.size())); }
inline std::string FromQString(const QString& S) { return S.toStdString(); }
