#include "app/UFormAbout.h"

#include "app/ProgramInfo.h"
#include "widgets/KvBckgnd.h"
#include "widgets/KvButton.h"
#include "widgets/KvLabel.h"

TFrmAbout* FrmAbout = nullptr;

namespace {

template <class T>
T* Make(TForm* Form, const char* Name, TRect Bounds) {
  auto* C = new T(Form);
  C->SetName(Name);
  C->SetParent(Form);
  C->SetBoundsRect(Bounds);
  return C;
}

}  // namespace

TFrmAbout::TFrmAbout(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading(this);
  SetName("FrmAbout");
  SetCaption("About");
  SetBorderStyle(bsDialog);
  SetBorderIcons(biSystemMenu);
  SetPosition(poMainFormCenter);
  SetClientWidth(340);
  SetClientHeight(180);

  auto* background = Make<TKvBackground>(this, "BgrAbout", Bounds(0, 0, 340, 180));
  background->SetAlign(alClient);
  background->SetGradientColorStart(static_cast<TColor>(16766640));
  background->SetGradientColorStop(static_cast<TColor>(16775924));
  background->SetGradientDirection(gdDiagonalDown);

  auto* name = Make<TKvLabel>(this, "LblName", Bounds(16, 14, 300, 20));
  name->SetTransparent(true);
  name->Font()->SetHeight(-16);
  name->Font()->SetStyle(fsBold);
  name->SetCaption("Lumo Audio Converter");

  auto* what = Make<TKvLabel>(this, "LblWhat", Bounds(16, 42, 308, 48));
  what->SetTransparent(true);
  what->SetAutoSize(false);
  what->SetWordWrap(true);
  what->SetCaption(
      "Converts audio files and audio CD tracks to MP3, Windows Media Audio, WAV, WavPack, "
      "Monkey's Audio, Ogg Vorbis, FLAC, True Audio and Musepack, with their tags.");

  auto* version = Make<TKvLabel>(this, "LblVersion", Bounds(16, 98, 300, 14));
  version->SetTransparent(true);
  version->SetCaption(std::string("Version ") + ProgramVersion);

  auto* home = Make<TKvURLLabel>(this, "LblHome", Bounds(16, 118, 300, 14));
  home->SetTransparent(true);
  home->SetURL(HomePageURL);
  home->SetCaption(HomePageURL);

  auto* ok = Make<TKvBitBtn>(this, "BtnOK", Bounds(248, 144, 80, 26));
  ok->SetKind(bkOK);
  ok->SetThemeAware(false);
  EndLoading(this);
}
