#pragma once
// The local event loop that keeps a popup window (TWinControl::SetPopupOwner) up. The
// form under the popup stays active the whole time, so the loop takes over what a
// focused window would get:
//   - a mouse press or double click (any button) on any other window ends the loop and
//     is swallowed, with the release that follows it; presses on the popup are handled
//     as usual;
//   - key presses and releases meant for other windows go to the key target instead;
//     Escape ends the loop and is swallowed;
//   - the application, or the form the popup belongs to, losing the activation ends it;
//   - Application->Terminate ends it, and so does the popup going away.
// Loops nest: the innermost popup sees the events first. Everything runs on the GUI
// thread.

#include <cstdint>

class TWinControl;

enum TPopupLoopEnd : uint8_t { pleClosed, pleEscape, pleOutsideClick, pleDeactivated, pleTerminated };

// Runs the loop for Popup, which the caller has shown, until one of the ends above
// (or EndPopupLoop) and says which it was. KeyTarget gets the keys (Popup itself when
// nullptr).
TPopupLoopEnd RunPopupLoop(TWinControl* Popup, TWinControl* KeyTarget);
// Ends Popup's loop with pleClosed once the event being handled is done; nothing when
// no loop runs for it.
void EndPopupLoop(TWinControl* Popup);
bool PopupLoopRunning(const TWinControl* Popup);
