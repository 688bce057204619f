// The main of the suites that drive real Qt widgets. The application lives
// as long as the tests, on the stack, so that it goes before Qt's own
// statics do; the offscreen platform needs no display.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
