#include <gtest/gtest.h>

#include <QImage>

#include "platform/ui/Picture.h"

// A picture's white background is see-through; each picture loads once; a number with no
// picture gives none.
TEST(ResourcePicture, LoadsOnceWithTransparentBackground) {
  const QPixmap first = platform::ResourcePicture(168);
  ASSERT_EQ(first.isNull(), false);
  EXPECT_EQ(std::make_tuple(qAlpha(first.toImage().pixel(0, 0)), platform::ResourcePicture(168).cacheKey(),
                            platform::ResourcePicture(9999).isNull()),
            std::make_tuple(0, first.cacheKey(), true));
}
