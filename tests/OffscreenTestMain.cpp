#include <gtest/gtest.h>

#include <QGuiApplication>

// Drawing into pictures in memory: Qt's GUI is set up, on its offscreen platform, so that no
// display is needed and everything Qt makes lives and goes with the application.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
