// The contender of the start-up bench: an empty Qt Widgets program with a window of the
// main window's size, shown and run until idle as bench_window does with ours.
#include <QApplication>
#include <QWidget>

#include "bench/app/Idle.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(594, 668);
  window.show();
  WaitUntilPaintedAndIdle(&window);
  return 0;
}
