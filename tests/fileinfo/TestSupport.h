#pragma once
// Fixtures of the tag reader tests: audio files made with Debian's tools, and a sweep
// that fails each system call of a file rewrite in turn.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/Files.h"
#include "tests/support/Tools.h"

namespace testsupport {

// A WavPack file made by wavpack of MakeWav's sine; fails the test when the tool is
// missing.
std::string MakeWavPack(const TTempDir& Dir, const std::string& Name);

// Bytes of a little file that is neither audio nor tag.
std::string Filler(size_t Size, unsigned Seed = 1);

// Runs Op with every system call of its file work failing in turn and checks
// after each run: a false result leaves the file as Original, a true one as
// Expected, and no other file appears in the folder. Returns the number of
// calls Op made when nothing failed.
int FaultSweep(const TTempDir& Dir, const std::string& FileName, const std::string& Original,
               const std::string& Expected, const std::function<bool()>& Op);

}  // namespace testsupport
