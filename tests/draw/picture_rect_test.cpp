// The changed parts of a picture, cut to it.
#include "draw/picture_rect.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A square is cut to the picture on every side, and one wholly outside it
// comes out empty.
TEST(PictureRect, SquaresAreCutToThePicture) {
    const PictureRect cut = ClampedToPicture(PictureRect{-5, -3, 10, 500}, 8, 100);
    EXPECT_EQ((std::vector<int32_t>{cut.left, cut.top, cut.right, cut.bottom}),
              (std::vector<int32_t>{0, 0, 8, 100}));
    EXPECT_TRUE(IsEmptyRect(ClampedToPicture(PictureRect{20, 5, 30, 6}, 8, 100)));
    EXPECT_TRUE(IsEmptyRect(ClampedToPicture(PictureRect{-9, 5, -2, 6}, 8, 100)));
}

}  // namespace
