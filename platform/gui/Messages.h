#pragma once
// Messages, key codes and shift states of the class library.
//
// Controls talk to each other with Perform(Msg, WParam, LParam), which reaches the
// receiver's virtual WndProc. The notifications the library itself raises come as
// messages too (so an overridden WndProc sees them) and are then dispatched to typed
// virtual methods named after them (CM_ENABLEDCHANGED -> CMEnabledChanged). Messages
// the library does not know (the widget library's own CM_BASE + 1000 range, WM_USER
// based ones) reach WndProc only.

#include <cstdint>

struct TMessage {
  uint32_t Msg = 0;
  intptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

// Message numbers. Where a message carries data the comment says how.
enum : uint32_t {
  WM_SETFOCUS = 0x0007,    // WParam: TFocusReason
  WM_KILLFOCUS = 0x0008,   // WParam: TFocusReason
  WM_CONTEXTMENU = 0x007B, // WParam, LParam: screen position, (-1, -1) from the keyboard; Result 1: used
  WM_GETDLGCODE = 0x0087,  // Result: the DLGC_ flags of the control
  WM_CUT = 0x0300,         // the text controls' clipboard and undo commands
  WM_COPY = 0x0301,
  WM_PASTE = 0x0302,
  WM_CLEAR = 0x0303,
  WM_UNDO = 0x0304,
  WM_USER = 0x0400,

  CM_BASE = 0xB000,
  CM_ACTIVATE = CM_BASE + 0,
  CM_DEACTIVATE = CM_BASE + 1,
  CM_DIALOGKEY = CM_BASE + 5,           // WParam: key code, LParam: shift state; Result 1: handled
  CM_DIALOGCHAR = CM_BASE + 6,          // WParam: character, LParam: shift state; Result 1: handled
  CM_FOCUSCHANGED = CM_BASE + 7,        // LParam: the newly focused TWinControl*
  CM_PARENTFONTCHANGED = CM_BASE + 8,
  CM_PARENTCOLORCHANGED = CM_BASE + 9,
  CM_VISIBLECHANGED = CM_BASE + 11,     // WParam: the new value
  CM_ENABLEDCHANGED = CM_BASE + 12,
  CM_COLORCHANGED = CM_BASE + 13,
  CM_FONTCHANGED = CM_BASE + 14,
  CM_CURSORCHANGED = CM_BASE + 15,
  CM_TEXTCHANGED = CM_BASE + 18,
  CM_MOUSEENTER = CM_BASE + 19,
  CM_MOUSELEAVE = CM_BASE + 20,
  CM_BUTTONPRESSED = CM_BASE + 24,      // WParam: group index, LParam: the sending TControl*
  CM_SHOWINGCHANGED = CM_BASE + 25,
  CM_ENTER = CM_BASE + 26,
  CM_EXIT = CM_BASE + 27,
  CM_WANTSPECIALKEY = CM_BASE + 30,     // WParam: key code, LParam: shift state; Result 1: wanted
  CM_SHOWHINTCHANGED = CM_BASE + 34,
  CM_PARENTSHOWHINTCHANGED = CM_BASE + 35,
  CM_SYSCOLORCHANGE = CM_BASE + 36,
  CM_CONTROLLISTCHANGE = CM_BASE + 44,  // WParam: TControl*, LParam: 1 inserting, 0 removing
  CM_CONTROLCHANGE = CM_BASE + 54,      // WParam: TControl*, LParam: 1 inserted, 0 removed
  CM_BIDIMODECHANGED = CM_BASE + 60,
  CM_PARENTBIDIMODECHANGED = CM_BASE + 61,
};

// What a control wants to see of the dialog keys (the answer of WM_GETDLGCODE): a key
// it wants reaches its own key handling instead of the form's dialog-key routing.
enum : uint32_t {
  DLGC_WANTARROWS = 0x0001,
  DLGC_WANTTAB = 0x0002,
  DLGC_WANTALLKEYS = 0x0004,  // Enter and Escape
  DLGC_WANTCHARS = 0x0080,    // plain characters are not dialog characters
};

// Why a control received or lost the focus.
enum TFocusReason : uint8_t { frOther, frMouse, frTab, frBacktab, frActiveWindow };

// Shift state: a set of keys and buttons held down.
using TShiftState = uint16_t;
enum : TShiftState {
  ssShift = 0x01, ssAlt = 0x02, ssCtrl = 0x04,
  ssLeft = 0x08, ssRight = 0x10, ssMiddle = 0x20, ssDouble = 0x40,
};

// Virtual key codes. Letters and digits are their upper-case ASCII codes ('A', '0').
enum : uint16_t {
  VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
  VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
  VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25,
  VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
  VK_APPS = 0x5D, VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6,
  VK_F7, VK_F8, VK_F9, VK_F10, VK_F11, VK_F12,
};

// A key with its shift keys as one value: the key code plus 0x2000 for Shift, 0x4000 for
// Ctrl and 0x8000 for Alt.
using TShortCut = uint16_t;
enum : TShortCut { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };
inline TShortCut ShortCut(uint16_t Key, TShiftState Shift) {
  return static_cast<TShortCut>(Key | ((Shift & ssShift) ? scShift : 0) |
                                ((Shift & ssCtrl) ? scCtrl : 0) | ((Shift & ssAlt) ? scAlt : 0));
}
