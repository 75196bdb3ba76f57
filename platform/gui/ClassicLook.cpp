#include "platform/gui/ClassicLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "platform/gui/Graphics.h"
#include "platform/gui/QtSupport.h"

QStyle* NewClassicStyle() { return QStyleFactory::create(QStringLiteral("Windows")); }

namespace {

// Every role of every group is set, so a platform theme's palette has nothing left to
// fill in, also when it changes while the program runs.
QPalette ClassicPalette() {
  QPalette Pal;
  const struct {
    QPalette::ColorRole Role;
    TColor Color;
    TColor Disabled;
  } Roles[] = {
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
  for (const auto& R : Roles) {
    for (QPalette::ColorGroup G : {QPalette::Active, QPalette::Inactive})
      Pal.setColor(G, R.Role, ToQColor(R.Color));
    Pal.setColor(QPalette::Disabled, R.Role, ToQColor(R.Disabled));
  }
  return Pal;
}

}  // namespace

void ApplyClassicLook(QApplication& App) {
  App.setStyle(NewClassicStyle());
  App.setPalette(ClassicPalette());
  const TFont Default;
  App.setFont(Default.QtFont());
}
