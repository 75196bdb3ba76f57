#pragma once
// The gallery: one picture per control family (and per window), for people to look at
// and for a smoke test that every page renders.
//
// A page is a form built by a function. Adding one is one line in any source of this
// folder:
//
//   static TGalleryPage Buttons("buttons", [](TForm* Form) { /* controls on Form */ });
//
// The form is built between BeginLoading and EndLoading, shown, and saved as
// "<name>.png". Pages are saved in name order.
//
// A window of the program is a TGalleryWindow: its function makes the window, puts it
// through its states and calls Shot in each (also from inside ShowModal, through a
// dialog responder), which saves "<name>-<state>.png".

#include <functional>
#include <string>

#include "platform/gui/Forms.h"

struct TGalleryPage {
  using TBuild = std::function<void(TForm* Form)>;
  TGalleryPage(std::string AName, TBuild ABuild);

  std::string Name;
  TBuild Build;
};

struct TGalleryWindow {
  using TShot = std::function<void(TCustomForm* Form, const std::string& State)>;
  using TShow = std::function<void(const TShot& Shot)>;
  TGalleryWindow(std::string AName, TShow AShow);

  std::string Name;
  TShow Show;
};

namespace gallery {

// A control of class T on Form at Bounds, named Name (when not empty).
template <class T>
T* Place(TForm* Form, const std::string& Name, TRect Bounds) {
  auto* C = new T(Form);
  if (!Name.empty()) C->SetName(Name);
  C->SetParent(Form);
  C->SetBoundsRect(Bounds);
  return C;
}

// A label with Text at (X, Y).
void Note(TForm* Form, int32_t X, int32_t Y, const std::string& Text);

}  // namespace gallery
