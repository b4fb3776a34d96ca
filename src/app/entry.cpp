#include "app/entry.h"

#include <QApplication>

namespace kev::app {

int RunProgram(int argc, char** argv) {
  QApplication app(argc, argv);
  (void)app;
  return 0;
}

}  // namespace kev::app
