#pragma once
// What the shell layer would open, recorded instead while a TShellRecorder lives; and
// the help's contents page beside the test programs, made when it is missing.

#include <fstream>
#include <string>
#include <vector>

#include "platform/rtl/FileUtils.h"
#include "platform/shell/Shell.h"

namespace testsupport {

class TShellRecorder {
public:
  TShellRecorder()
      : FPrevious(SetShellOpenHook([this](const std::string& Target) {
          Opened.push_back(Target);
          return Result;
        })) {}
  ~TShellRecorder() { SetShellOpenHook(std::move(FPrevious)); }
  TShellRecorder(const TShellRecorder&) = delete;
  TShellRecorder& operator=(const TShellRecorder&) = delete;

  std::vector<std::string> Opened;
  // What the open answers.
  bool Result = true;

private:
  TShellOpenHook FPrevious;
};

// The path of the help's contents page, which the program installs beside itself;
// made (and left, as other tests may use it meanwhile) when it is missing.
inline std::string HelpContentsPage() {
  const std::string Page = HelpFolder() + "index.html";
  if (!FileExists(Page) && ForceDirectories(HelpFolder())) std::ofstream(Page) << "<html><body>Help</body></html>\n";
  return Page;
}

}  // namespace testsupport
