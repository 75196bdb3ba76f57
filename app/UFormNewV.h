#pragma once
// The update dialog. When shown, it fetches the version file from the update server
// (an asynchronous GET with connect and total time-outs; the dialog says "Checking…"
// meanwhile and stays responsive) and tells whether a version newer than this
// program's is out; "Download" then opens the download page in the web browser.
// Hiding the dialog cancels a check still running: no late answer reaches it.
//
// The version file's first three bytes are the newest version in binary-coded
// decimal, one byte each for major, minor and release (02 01 05: 2.1.5); the rest is
// not read. Only an answer with status 200 whose first three bytes are such digits is
// a version. Anything else (no connection, a time-out, an error page, a body shorter
// than three bytes or one with a digit above 9) counts as a failed connection.
//
// Where the check asks and what Download opens are build settings (the update server,
// the version file's path, the download page's server and path); the properties below
// start with them.

#include <compare>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/inet/HttpRequest.h"

class TImage;
class TKvBackground;
class TKvBitBtn;
class TKvLabel;

struct TProgramVersion {
  uint8_t Major = 0;
  uint8_t Minor = 0;
  uint8_t Release = 0;
  friend auto operator<=>(const TProgramVersion&, const TProgramVersion&) = default;
};
// This program's version (a build setting).
extern const TProgramVersion ProgramVersion;

enum TVersionCheck : uint8_t { vcNotNewer, vcFailed, vcNewer };
struct TVersionCheckResult {
  TVersionCheck Check = vcFailed;
  TProgramVersion Newest;  // vcNewer and vcNotNewer: what the server announced
};
// What Answer, the version file's download, says against the program's version Own.
TVersionCheckResult ReadVersionAnswer(const THttpResult& Answer, const TProgramVersion& Own);
// The text the dialog shows for Result.
std::string VersionCheckText(const TVersionCheckResult& Result);

class TFormNewV : public TForm {
public:
  explicit TFormNewV(TComponent* AOwner);
  ~TFormNewV() override;
  void BeforeDestruction() override;

  const std::string& VersionFileUrl() const { return FVersionFileUrl; }
  void SetVersionFileUrl(const std::string& Value) { FVersionFileUrl = Value; }
  const std::string& DownloadPageUrl() const { return FDownloadPageUrl; }
  void SetDownloadPageUrl(const std::string& Value) { FDownloadPageUrl = Value; }
  // The check's time-outs and the longest answer taken.
  const THttpOptions& CheckOptions() const { return FCheckOptions; }
  void SetCheckOptions(const THttpOptions& Value) { FCheckOptions = Value; }
  // A check is running.
  bool Checking() const { return FRequest->Active(); }

  TKvBackground* BgrNew;
  TImage* Image1;
  TKvLabel* Label1;
  TKvBitBtn* BtnOK;
  TKvBitBtn* BtnClr;

  static constexpr char CheckingText[] = "Checking…";

protected:
  // Showing starts the check; hiding, however the dialog goes, cancels it.
  void DoShow() override;
  void DoHide() override;

private:
  void FormShow();
  void CheckDone(const THttpResult& Answer);
  void BtnOKClick();

  std::string FVersionFileUrl;
  std::string FDownloadPageUrl;
  THttpOptions FCheckOptions;
  std::unique_ptr<THttpRequest> FRequest;
};
