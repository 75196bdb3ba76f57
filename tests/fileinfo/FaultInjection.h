#pragma once
// Makes one chosen system call fail. The test executable is linked with
// --wrap for open, read, pread, write, pwrite, fsync, fchmod, fchown, close,
// rename, ftruncate and unlink, so the calls of the tag writers and of
// ReplaceFileSafely pass through here.

namespace fault {

// Counts the calls from now on; the FailAt-th one (1-based) fails. 0: none fails.
void Arm(int FailAt);
// Stops counting and failing; returns the number of calls since Arm.
int Disarm();

}  // namespace fault
