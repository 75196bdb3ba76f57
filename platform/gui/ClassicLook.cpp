#include "platform/gui/ClassicLook.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <fontconfig/fontconfig.h>

#include "platform/gui/Graphics.h"
#include "platform/gui/QtSupport.h"

QStyle* NewClassicStyle() { return QStyleFactory::create(QStringLiteral("Windows")); }

namespace {

QPointer<QStyle> ClassicStyle;
bool Restoring = false;

struct TRoleColors {
  QPalette::ColorRole Role;
  TColor Color;
  TColor Disabled;
};

constexpr TRoleColors Roles[] = {
    {QPalette::Window, clBtnFace, clBtnFace},
    {QPalette::WindowText, clWindowText, clGrayText},
    {QPalette::Base, clWindow, clBtnFace},
    {QPalette::AlternateBase, clBtnFace, clBtnFace},
    {QPalette::Text, clWindowText, clGrayText},
    {QPalette::PlaceholderText, clGrayText, clGrayText},
    {QPalette::Button, clBtnFace, clBtnFace},
    {QPalette::ButtonText, clBtnText, clGrayText},
    {QPalette::BrightText, clWhite, clWhite},
    {QPalette::Light, clBtnHighlight, clBtnHighlight},
    {QPalette::Midlight, cl3DLight, cl3DLight},
    {QPalette::Mid, clBtnShadow, clBtnShadow},
    {QPalette::Dark, clBtnShadow, clBtnShadow},
    {QPalette::Shadow, cl3DDkShadow, cl3DDkShadow},
    {QPalette::Highlight, clHighlight, clHighlight},
    {QPalette::HighlightedText, clHighlightText, clHighlightText},
    {QPalette::Link, clBlue, clBlue},
    {QPalette::LinkVisited, clPurple, clPurple},
    {QPalette::ToolTipBase, clInfoBk, clInfoBk},
    {QPalette::ToolTipText, clInfoText, clInfoText},
};

// Every role of every group is set, so a platform theme's palette has nothing left to
// fill in, also when it changes while the program runs.
QPalette ClassicPalette() {
  QPalette Pal;
  for (const auto& R : Roles) {
    for (QPalette::ColorGroup G : {QPalette::Active, QPalette::Inactive})
      Pal.setColor(G, R.Role, ToQColor(R.Color));
    Pal.setColor(QPalette::Disabled, R.Role, ToQColor(R.Disabled));
  }
  return Pal;
}

bool HasClassicLook() {
  const QPalette Pal = QGuiApplication::palette();
  for (const auto& R : Roles)
    if (Pal.color(QPalette::Active, R.Role) != ToQColor(R.Color) ||
        Pal.color(QPalette::Disabled, R.Role) != ToQColor(R.Disabled))
      return false;
  const QFont Font = QGuiApplication::font(), Default = TFont().QtFont();
  return QApplication::style() == ClassicStyle && Font.family() == Default.family() &&
         Font.pixelSize() == Default.pixelSize();
}

// Text is drawn black and white. The instructions of DejaVu Sans Condensed Bold run its
// letters together there at small sizes ("Folder" reads "Fokler"), while the regular face
// and DejaVu Sans Bold are drawn cleanly: that one face is hinted by FreeType's own
// hinter instead. Font engines made before this keep their hinting, so it comes first.
void HintCondensedBoldOurselves() {
  static bool Done = false;
  if (Done) return;
  Done = true;
  constexpr char Rule[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <match target="font">
    <test name="family"><string>DejaVu Sans Condensed</string></test>
    <test name="weight" compare="more_eq"><const>bold</const></test>
    <edit name="autohint" mode="assign"><bool>true</bool></edit>
  </match>
</fontconfig>)";
  FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(Rule), FcTrue);
}

}  // namespace

void ApplyClassicLook(QApplication& App) {
  HintCondensedBoldOurselves();
  Restoring = true;
  App.setStyle(NewClassicStyle());
  ClassicStyle = App.style();
  App.setPalette(ClassicPalette());
  App.setFont(TFont().QtFont());
  Restoring = false;
}

void KeepClassicLook() {
  if (Restoring || !ClassicStyle || HasClassicLook()) return;
  Restoring = true;
  QMetaObject::invokeMethod(
      qApp,
      [] {
        Restoring = false;
        auto* App = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (App && !HasClassicLook()) ApplyClassicLook(*App);
      },
      Qt::QueuedConnection);
}
