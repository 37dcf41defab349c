#include <gtest/gtest.h>

#include <QApplication>

// Window tests need a QApplication (and a display: they run under xvfb-run).
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
