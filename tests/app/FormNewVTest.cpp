// The update dialog against a server on the loopback: what each answer says, a server
// that never answers, and Download and the help handed to the shell.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>

#include "app/UFormNewV.h"
#include "tests/support/HttpServer.h"
#include "tests/support/ShellHook.h"
#include "tests/support/Tags.h"
#include "widgets/KvButton.h"
#include "widgets/KvLabel.h"

using namespace testsupport;

namespace {

constexpr int32_t Long = 10 * 60 * 1000;  // a limit no test reaches

const std::string NotFound = "The new version of Lumo Audio Converter was not found.";
const std::string Failed = "Server connection failed. Please check your internet connection and try again!";
std::string Newer(const std::string& Version) {
  return "The new version " + Version +
         " of Lumo Audio Converter is available on the home page. Press 'Download' button to download it right now.";
}

class FormNewVTest : public testing::Test {
protected:
  // The loopback never goes through a proxy of the environment.
  static void SetUpTestSuite() { setenv("no_proxy", "*", 1); }
  void TearDown() override { Frm->Free(); }

  // Shows the dialog checking Url and, once the check has ended, runs Work (which may
  // end the dialog; otherwise it is closed); the dialog's result. Message boxes on the
  // way get the answers in Then; they are kept in Messages.
  TModalResult Check(
      const std::string& Url, const std::function<void()>& Work = [] {}, const std::vector<int32_t>& Then = {}) {
    Frm->SetVersionFileUrl(Url);
    TDialogScript Script;
    Script.Answer([&](const TDialogRequest&) {
      ShowActive(Frm);
      EXPECT_TRUE(ProcessEventsUntil([this] { return !Frm->Checking(); }));
      Work();
      return TDialogAnswer{mrCancel, {}, {}, 0};
    });
    for (const int32_t Answer : Then) Script.Answer(Answer);
    const TModalResult Result = Frm->ShowModal();
    Messages.assign(Script.Requests().begin() + 1, Script.Requests().end());
    return Result;
  }

  TFormNewV* Frm = NewForm<TFormNewV>(nullptr);
  std::vector<TDialogRequest> Messages;
};

TEST_F(FormNewVTest, OnlyAnOkAnswerOfThreeDecimalBytesIsAVersion) {
  // A long answer is read from its start (a reader that kept the last of its blocks
  // would see 09 09 09 here).
  std::string Long40k(40 * 1024, '\x09');
  Long40k.replace(0, 3, "\x02\x00\x02", 3);
  const struct {
    std::string Path;
    TRoute Answer;
    std::string Text;
  } Cases[] = {
      {"/newer", {.Body = Bytes("\x02\x00\x02")}, Newer("2.0.2")},
      {"/same", {.Body = Bytes("\x02\x00\x01")}, NotFound},
      {"/older", {.Body = Bytes("\x01\x09\x09")}, NotFound},
      {"/two-digit", {.Body = Bytes("\x02\x10\x00")}, Newer("2.10.0")},
      {"/empty", {.Body = ""}, Failed},
      {"/short", {.Body = Bytes("\x02\x01")}, Failed},
      {"/html", {.Body = "<html>"}, Failed},
      {"/hex", {.Body = Bytes("\x02\x0A\x01")}, Failed},
      {"/not-found", {.Status = 404, .Body = "404"}, Failed},
      {"/error", {.Status = 500, .Body = Bytes("\x02\x00\x02")}, Failed},
      {"/long", {.Body = Long40k}, Newer("2.0.2")},
      {"/refused", {}, Failed},  // a port where nothing listens
  };
  std::map<std::string, TRoute> Routes;
  for (const auto& C : Cases) Routes[C.Path] = C.Answer;
  TTestHttpServer Server(Routes);
  const TLoopbackPort Refusing(false);
  // One dialog for every check, as the program keeps it.
  for (const auto& C : Cases) {
    Check(C.Path == "/refused" ? Refusing.Url() : Server.Url(C.Path), [&] {
      EXPECT_EQ(Frm->Label1->Caption(), C.Text) << C.Path;
      EXPECT_EQ(Frm->BtnOK->Visible(), C.Text != NotFound && C.Text != Failed) << C.Path;
    });
  }
}

TEST_F(FormNewVTest, TheDialogStaysResponsiveWhileCheckingAndClosingCancels) {
  TTestHttpServer Server({{"/silent", {.Silent = true}}});
  TShellRecorder Shell;
  const std::string Help = HelpContentsPage();
  Frm->SetVersionFileUrl(Server.Url("/silent"));
  Frm->SetCheckOptions({Long, Long, 1000});
  TDialogScript Script;
  Script.Answer([&](const TDialogRequest&) {
    ShowActive(Frm);
    EXPECT_TRUE(Server.WaitHeld(1));
    Application->ProcessMessages();
    EXPECT_TRUE(Frm->Checking());
    EXPECT_EQ(Frm->Label1->Caption(), TFormNewV::CheckingText);
    EXPECT_FALSE(Frm->BtnOK->Visible());
    KeyClick(Qt::Key_F1);
    MouseClick(Frm->BtnClr, 10, 10);
    return TDialogAnswer{mrAbort, {}, {}, 0};
  });
  EXPECT_EQ(Frm->ShowModal(), mrCancel);
  EXPECT_EQ(Shell.Opened, std::vector<std::string>{Help});
  EXPECT_FALSE(Frm->Checking());
  EXPECT_TRUE(Server.WaitLeft(1));  // the request went with the dialog

  // A server that never answers runs into the total time-out.
  Frm->SetCheckOptions({Long, 300, 1000});
  Check(Server.Url("/silent"), [&] { EXPECT_EQ(Frm->Label1->Caption(), Failed); });
}

TEST_F(FormNewVTest, DownloadHandsThePageToTheShellOrSaysWhereItIs) {
  TTestHttpServer Server({{"/newer", {.Body = Bytes("\x02\x00\x02")}}});
  const std::string Page = "https://downloads.example/sonvix/downloads.php";
  Frm->SetDownloadPageUrl(Page);
  TShellRecorder Shell;
  EXPECT_EQ(Check(Server.Url("/newer"), [&] { MouseClick(Frm->BtnOK, 10, 10); }), mrOk);
  EXPECT_EQ(Shell.Opened, std::vector<std::string>{Page});

  // Without a browser the dialog stays and tells the address.
  Shell.Result = false;
  EXPECT_EQ(Check(Server.Url("/newer"),
                  [&] {
                    KeyClick(Qt::Key_Return);  // the default button
                    EXPECT_TRUE(Frm->Visible());
                    MouseClick(Frm->BtnClr, 10, 10);
                  },
                  {IDOK}),
            mrCancel);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, "The web browser could not be started. The download page is " + Page + ".");
}

}  // namespace
