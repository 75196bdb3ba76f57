#pragma once
// What the program's dialogs share: controls placed under their design names, the
// gradient behind the controls, and the help.
//
// The help is our own HTML pages in the "Help" folder beside the program, shown by
// the desktop's browser: the tag editor's context opens its own page, every other
// context the contents.

#include <cstdint>
#include <string>

#include "platform/gui/Forms.h"

class TCustomListView;
class TKvBackground;

// A control of class T owned by Form, on Parent at Bounds, named Name.
template <class T>
T* AddControl(TCustomForm* Form, TWinControl* Parent, const std::string& Name, const TRect& Bounds) {
  auto* Control = new T(Form);
  Control->SetName(Name);
  Control->SetParent(Parent);
  Control->SetBoundsRect(Bounds);
  return Control;
}

// The dialogs' light blue gradient, diagonal down, filling Form behind its controls.
TKvBackground* AddBackground(TCustomForm* Form, const std::string& Name);

// The columns of a list of entries as the program shows them: "File" (280 pixels),
// "Duration" (70) and "Size MB" (62), the last two right-aligned.
void AddEntryColumns(TCustomListView* View);

// The help contexts that have a page of their own.
constexpr int32_t HelpContents = 0;
constexpr int32_t HelpTagEditor = 3000;

// The help page of Context, opened with the desktop's browser. When it is missing or
// cannot be shown, a message box owned by Owner's window says so and the result is false.
bool ShowHelp(TControl* Owner, int32_t Context);
// A link, page or the help handed to the desktop's handler that it could not open (no
// web browser, say): a message box over the active window tells which and why.
void ShowOpenFailure(const std::string& Target, int ExitStatus);
// F1 in Form (which then sees its controls' keys first) opens the help of Context.
void OpenHelpOnF1(TCustomForm* Form, int32_t Context = HelpContents);
