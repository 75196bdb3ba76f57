#include "app/UFormAbout.h"

#include "app/ProgramInfo.h"
#include "app/UFormNewV.h"
#include "app/UForms.h"
#include "platform/rtl/StrUtils.h"
#include "widgets/KvButton.h"
#include "widgets/KvLabel.h"

TFrmAbout* FrmAbout = nullptr;

TFrmAbout::TFrmAbout(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading(this);
  SetName("FrmAbout");
  SetCaption("About");
  SetBorderStyle(bsDialog);
  SetBorderIcons(biSystemMenu);
  SetPosition(poMainFormCenter);
  SetClientWidth(340);
  SetClientHeight(180);

  AddBackground(this, "BgrAbout");

  auto* name = AddControl<TKvLabel>(this, this, "LblName", Bounds(16, 14, 300, 20));
  name->SetTransparent(true);
  name->Font()->SetHeight(-16);
  name->Font()->SetStyle(fsBold);
  name->SetCaption("Lumo Audio Converter");

  auto* what = AddControl<TKvLabel>(this, this, "LblWhat", Bounds(16, 42, 308, 48));
  what->SetTransparent(true);
  what->SetAutoSize(false);
  what->SetWordWrap(true);
  what->SetCaption(
      "Converts audio files and audio CD tracks to MP3, WMA, WAV, WavPack, Monkey's Audio, Ogg "
      "Vorbis, FLAC, True Audio and Musepack, with their tags.");

  auto* version = AddControl<TKvLabel>(this, this, "LblVersion", Bounds(16, 98, 300, 14));
  version->SetTransparent(true);
  version->SetCaption("Version " + IntToStr(ProgramVersion.Major) + "." + IntToStr(ProgramVersion.Minor) + "." +
                      IntToStr(ProgramVersion.Release));

  auto* home = AddControl<TKvURLLabel>(this, this, "LblHome", Bounds(16, 118, 300, 14));
  home->SetTransparent(true);
  home->SetURL(HomePageURL);
  home->SetCaption(HomePageURL);

  auto* ok = AddControl<TKvBitBtn>(this, this, "BtnOK", Bounds(248, 144, 80, 26));
  ok->SetKind(bkOK);
  ok->SetCancel(true);  // its one button: Escape closes the box as Enter does
  ok->SetThemeAware(false);
  EndLoading(this);
}
