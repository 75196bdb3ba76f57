// The main of the GUI test programs: an offscreen application (also when ctest's test
// discovery runs the program without QT_QPA_PLATFORM), the timers' test clock, and no
// dialog that could block. The desktop asks for another style, as a user's may: the
// tests see the look the program keeps whatever is asked.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gui/ExtCtrls.h"
#include "tests/support/Gui.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_STYLE_OVERRIDE", "fusion", 1);
  ::testing::InitGoogleTest(&argc, argv);
  TApplication App(argc, argv);
  TTimer::SetTestClock(true);
  testsupport::InstallUnexpectedDialogGuard();
  return RUN_ALL_TESTS();
}
