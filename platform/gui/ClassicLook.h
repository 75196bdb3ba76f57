#pragma once
// The program's own classic look for what Qt still draws itself (drop buttons, scroll
// bars, spin arrows, the dropped lists): Qt's "Windows" style with the classic colours
// and the default font, fixed at start-up whatever QT_STYLE_OVERRIDE, the command line
// or the desktop's platform theme ask for.

class QApplication;
class QStyle;

// A new instance of the classic style, for the application and for proxies over it
// (a proxy without a base would take the desktop's or the override's style).
QStyle* NewClassicStyle();
// Gives App the classic style, palette and font.
void ApplyClassicLook(QApplication& App);
// For the events that tell of a new application style, palette or font: when they are
// not the classic ones (a platform theme may set its own while the program runs), the
// classic look comes back from the event loop.
void KeepClassicLook();
