// The main of the GUI test programs: an offscreen application (also when ctest's test
// discovery runs the program without QT_QPA_PLATFORM), the timers' test clock, and no
// dialog that could block.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gui/ExtCtrls.h"
#include "tests/support/Gui.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  TApplication App(argc, argv);
  TTimer::SetTestClock(true);
  testsupport::InstallUnexpectedDialogGuard();
  return RUN_ALL_TESTS();
}
