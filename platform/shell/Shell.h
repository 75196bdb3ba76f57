#pragma once
// Opening links, documents and the help pages with the desktop's handler (xdg-open).
//
// The handler runs as a process of its own in a new session and is not waited for:
// the caller never blocks, and the handler may outlive the program. The result says
// whether the handler could be started. A handler that then soon ends in failure (the
// desktop has no program for the target: xdg-open's "no method available") is
// reported later, on the main thread, to the handler of failures when one is set.
// Tests install a hook that receives what would be opened instead. The special
// folders are those of platform/rtl/Folders.h.

#include <cstdint>
#include <functional>
#include <string>

// Target: the URL, or the absolute name of the document. Its result is the open's.
using TShellOpenHook = std::function<bool(const std::string& Target)>;
// Installs Hook for the whole process (an empty one restores the desktop's handler)
// and returns the one it replaces. Safe from any thread.
TShellOpenHook SetShellOpenHook(TShellOpenHook Hook);

// Target as it was given to the handler; ExitStatus is the handler's, never 0.
using TShellFailedHandler = std::function<void(const std::string& Target, int ExitStatus)>;
// Installs Handler for the whole process (an empty one reports nothing) and returns
// the one it replaces. It runs through TThread::Synchronize, so a main thread that
// handles no synchronised calls never sees it.
TShellFailedHandler SetShellFailedHandler(TShellFailedHandler Handler);

// False for an empty URL or one starting with '-' (the handler would read it as an
// option), or when the handler cannot be started.
bool OpenURL(const std::string& Url);
// A relative name is taken from the current folder. False when no file or folder of
// that name exists, or when the handler cannot be started.
bool OpenDocument(const std::string& FileName);

enum THelpOpen : uint8_t { hoOpened, hoMissing, hoFailed };
// The help pages' folder beside the program, with a trailing '/'.
std::string HelpFolder();
// Opens HelpFolder() + Page: hoMissing when that file does not exist, hoFailed when
// the handler cannot be started.
THelpOpen OpenHelp(const std::string& Page);
