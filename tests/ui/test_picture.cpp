#include <gtest/gtest.h>

#include <QImage>

#include "platform/ui/Picture.h"

TEST(ResourcePicture, LoadsOnceWithTransparentBackground) {
  const QPixmap first = platform::ResourcePicture(168);
  ASSERT_EQ(first.isNull(), false);
  EXPECT_EQ(first.size(), QSize(32, 32));
  EXPECT_EQ(first.hasAlpha(), true);
  EXPECT_EQ(qAlpha(first.toImage().pixel(0, 0)), 0);
  // The same picture every time, not a fresh load.
  EXPECT_EQ(platform::ResourcePicture(168).cacheKey(), first.cacheKey());
  EXPECT_EQ(platform::ResourcePicture(9999).isNull(), true);
}
