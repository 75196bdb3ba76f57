#include "platform/shell/Shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Threads.h"

extern char** environ;

namespace {

constexpr char Handler[] = "xdg-open";

std::mutex HookMutex;
TShellOpenHook Hook;
TShellFailedHandler FailedHandler;

// A handler that ran longer than this opened something (a browser started in the
// foreground, closed by the user later): how it ends then is no failure to open.
constexpr auto FailureWindow = std::chrono::seconds(30);

void ReportFailure(const std::string& Target, int ExitStatus) {
  TShellFailedHandler handler;
  {
    std::lock_guard<std::mutex> lk(HookMutex);
    handler = FailedHandler;
  }
  if (!handler) return;
  try {
    TThread::Synchronize(nullptr, [&] { handler(Target, ExitStatus); });
  } catch (...) {
    // The handler's own trouble; the reaper has nobody to tell.
  }
}

// Starts the handler on Target, detached: in a session of its own, with no input,
// signals at their defaults. A thread of ours reaps it whenever it ends.
bool StartHandler(const std::string& Target) {
  posix_spawn_file_actions_t files;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&files);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string name = Handler, target = Target;
  char* argv[] = {name.data(), target.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, Handler, &files, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) return false;
  std::thread([pid, Target, started = std::chrono::steady_clock::now()] {
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (ended == pid && WIFEXITED(status) && WEXITSTATUS(status) != 0 &&
        std::chrono::steady_clock::now() - started < FailureWindow)
      ReportFailure(Target, WEXITSTATUS(status));
  }).detach();
  return true;
}

bool Open(const std::string& Target) {
  TShellOpenHook hook;
  {
    std::lock_guard<std::mutex> lk(HookMutex);
    hook = Hook;
  }
  return hook ? hook(Target) : StartHandler(Target);
}

std::string AbsoluteName(const std::string& FileName) {
  if (FileName.empty() || FileName[0] == '/') return FileName;
  char* cwd = getcwd(nullptr, 0);
  if (!cwd) return std::string();
  std::string dir = cwd;
  free(cwd);
  return IncludeTrailingPathDelimiter(dir) + FileName;
}

}  // namespace

TShellOpenHook SetShellOpenHook(TShellOpenHook NewHook) {
  std::lock_guard<std::mutex> lk(HookMutex);
  TShellOpenHook old = std::move(Hook);
  Hook = std::move(NewHook);
  return old;
}

TShellFailedHandler SetShellFailedHandler(TShellFailedHandler Handler) {
  std::lock_guard<std::mutex> lk(HookMutex);
  TShellFailedHandler old = std::move(FailedHandler);
  FailedHandler = std::move(Handler);
  return old;
}

bool OpenURL(const std::string& Url) {
  if (Url.empty() || Url[0] == '-') return false;
  return Open(Url);
}

bool OpenDocument(const std::string& FileName) {
  const std::string name = AbsoluteName(FileName);
  if (!FileExists(name) && !DirectoryExists(name)) return false;
  return Open(name);
}

std::string HelpFolder() { return ProgramDir() + "Help/"; }

THelpOpen OpenHelp(const std::string& Page) {
  const std::string name = HelpFolder() + Page;
  if (Page.empty() || !FileExists(name)) return hoMissing;
  return Open(name) ? hoOpened : hoFailed;
}
