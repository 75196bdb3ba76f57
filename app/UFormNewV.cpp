#include "app/UFormNewV.h"

#include "app/UFormNewVConfig.h"
#include "app/UForms.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/shell/Shell.h"
#include "widgets/KvBckgnd.h"
#include "widgets/KvButton.h"
#include "widgets/KvLabel.h"

const TProgramVersion ProgramVersion{buildsettings::VersionMajor, buildsettings::VersionMinor,
                                     buildsettings::VersionRelease};

namespace {

// A version file is three bytes; a longer answer is read only as far as this.
constexpr THttpOptions DefaultCheckOptions{10000, 30000, 64 * 1024};

constexpr int32_t FormWidth = 392, FormHeight = 131;
constexpr int32_t ImageSize = 48;
constexpr int32_t ButtonWidth = 96, ButtonHeight = 25, ButtonTop = 92;

// A byte of two decimal digits (binary-coded decimal) as its number; false for a
// byte with a digit above 9.
bool DecimalByte(uint8_t Byte, uint8_t& Value) {
  const uint8_t High = Byte >> 4, Low = Byte & 0x0F;
  if (High > 9 || Low > 9) return false;
  Value = static_cast<uint8_t>(High * 10 + Low);
  return true;
}

// Our picture of a download: a white arrow down to a bar, on a blue disc.
void DrawUpdateImage(TBitmap* B) {
  B->SetSize(ImageSize, ImageSize);
  TCanvas* C = B->Canvas();
  C->Brush()->SetColor(clFuchsia);  // the transparent colour
  C->FillRect(Rect(0, 0, ImageSize, ImageSize));
  C->Pen()->SetColor(RGB(20, 60, 140));
  C->Brush()->SetColor(RGB(40, 110, 210));
  C->RoundRect(1, 1, ImageSize - 1, ImageSize - 1, ImageSize - 2, ImageSize - 2);
  C->Pen()->SetColor(RGB(90, 150, 235));
  C->Brush()->SetColor(RGB(90, 150, 235));
  C->RoundRect(6, 4, ImageSize - 6, ImageSize - 14, 36, 30);
  C->Pen()->SetColor(clWhite);
  C->Brush()->SetColor(clWhite);
  C->Polygon({{20, 9}, {27, 9}, {27, 22}, {34, 22}, {23, 33}, {13, 22}, {20, 22}});
  C->FillRect(Rect(13, 36, 35, 39));
  B->SetTransparentMode(tmFixed);
  B->SetTransparentColor(clFuchsia);
  B->SetTransparent(true);
}

}  // namespace

TVersionCheckResult ReadVersionAnswer(const THttpResult& Answer, const TProgramVersion& Own) {
  TVersionCheckResult R;
  const std::string& Body = Answer.Body;
  if (!Answer.StatusOK() || Body.size() < 3) return R;
  TProgramVersion& V = R.Newest;
  if (!DecimalByte(uint8_t(Body[0]), V.Major) || !DecimalByte(uint8_t(Body[1]), V.Minor) ||
      !DecimalByte(uint8_t(Body[2]), V.Release))
    return R;
  R.Check = V > Own ? vcNewer : vcNotNewer;
  return R;
}

std::string VersionCheckText(const TVersionCheckResult& Result) {
  switch (Result.Check) {
    case vcNotNewer: return "The new version of Lumo Audio Converter was not found.";
    case vcNewer: {
      const TProgramVersion& V = Result.Newest;
      return "The new version " + std::to_string(V.Major) + "." + std::to_string(V.Minor) + "." +
             std::to_string(V.Release) +
             " of Lumo Audio Converter is available on the home page. "
             "Press 'Download' button to download it right now.";
    }
    case vcFailed: break;
  }
  return "Server connection failed. Please check your internet connection and try again!";
}

TFormNewV::TFormNewV(TComponent* AOwner)
    : TForm(AOwner),
      FVersionFileUrl(buildsettings::VersionFileUrl),
      FDownloadPageUrl(buildsettings::DownloadPageUrl),
      FCheckOptions(DefaultCheckOptions),
      FRequest(std::make_unique<THttpRequest>()) {
  BeginLoading(this);
  SetName("FormNewV");
  SetCaption("New version");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(FormWidth);
  SetClientHeight(FormHeight);
  SetShowHint(true);

  BgrNew = AddBackground(this, "BgrNew");
  Image1 = AddControl<TImage>(this, this, "Image1", Bounds(16, 16, ImageSize, ImageSize));
  DrawUpdateImage(Image1->Picture()->Bitmap());
  const int32_t TextLeft = 16 + ImageSize + 16;
  Label1 = AddControl<TKvLabel>(this, this, "Label1", Bounds(TextLeft, 16, FormWidth - TextLeft - 16, 66));
  Label1->SetAutoSize(false);
  Label1->SetWordWrap(true);
  Label1->SetTransparent(true);

  BtnOK = AddControl<TKvBitBtn>(this, this, "BtnOK",
                                Bounds(FormWidth - 16 - 2 * ButtonWidth - 8, ButtonTop, ButtonWidth, ButtonHeight));
  BtnOK->SetCaption("&Download");
  BtnOK->SetDefault(true);
  BtnOK->SetModalResult(mrOk);
  BtnOK->SetHint("Open the download page\nin the web browser");
  BtnOK->OnClick = [this](TComponent*) { BtnOKClick(); };
  BtnClr = AddControl<TKvBitBtn>(this, this, "BtnClr",
                                 Bounds(FormWidth - 16 - ButtonWidth, ButtonTop, ButtonWidth, ButtonHeight));
  BtnClr->SetCaption("Close");
  BtnClr->SetCancel(true);
  BtnClr->SetModalResult(mrCancel);
  BtnClr->SetHint("Close this window");

  OpenHelpOnF1(this);
  EndLoading(this);
}

TFormNewV::~TFormNewV() = default;

void TFormNewV::BeforeDestruction() {
  FRequest->Cancel();
  TForm::BeforeDestruction();
}

void TFormNewV::DoShow() {
  FormShow();
  TForm::DoShow();
}

void TFormNewV::DoHide() {
  FRequest->Cancel();
  TForm::DoHide();
}

void TFormNewV::FormShow() {
  BtnOK->Hide();
  Label1->SetCaption(CheckingText);
  FRequest->Start(FVersionFileUrl, FCheckOptions, [this](const THttpResult& Answer) { CheckDone(Answer); });
}

void TFormNewV::CheckDone(const THttpResult& Answer) {
  // Nothing may leave a request's handler.
  try {
    const TVersionCheckResult Result = ReadVersionAnswer(Answer, ProgramVersion);
    Label1->SetCaption(VersionCheckText(Result));
    BtnOK->SetVisible(Result.Check == vcNewer);
    // As if it had been there from the start: Enter downloads.
    if (BtnOK->Visible()) SetActiveControl(BtnOK);
  } catch (...) {
    Application->HandleException(this);
  }
}

void TFormNewV::BtnOKClick() {
  if (OpenURL(FDownloadPageUrl)) return;
  // The dialog stays, with the address to type into a browser.
  SetModalResult(mrNone);
  MessageBox(this, "The web browser could not be started. The download page is " + FDownloadPageUrl + ".",
             "New version", MB_OK | MB_ICONWARNING);
}
