// Widget tests need one application object for the whole run; they run with
// QT_QPA_PLATFORM=offscreen (TW_TEST_ENV), needing no display.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
