// The program: the application object, the start-up of the windows and the event loop.
// It takes no command-line arguments.
#include "app/UFormMain.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
