// The program: the application object, the start-up of the windows and the event loop.
// It takes no command-line arguments.
#include "app/UFormMain.h"

int main(int argc, char** argv) {
  TApplication App(argc, argv);
  try {
    StartProgram();
  } catch (const Exception& E) {
    Application->ShowException(E);
    return 1;
  }
  Application->Run();
  return 0;
}
