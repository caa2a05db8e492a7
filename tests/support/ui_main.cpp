#include <gtest/gtest.h>

#include <QApplication>

#include "platform/Date.h"

int main(int argc, char** argv) {
  platform::CacheLocalTimeZone();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
