#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/Date.h"

int main(int argc, char** argv) {
  platform::CacheLocalTimeZone();
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
