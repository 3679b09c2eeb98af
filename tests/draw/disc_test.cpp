// FillDisc: the exact coverage of every tabulated radius, clipping at the
// edges of a target, and what reaches the pixel bytes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>

#include "draw/drawing_state.h"
#include "draw/drawing_target.h"
#include "draw/primitives.h"
#include "system/sleep.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

constexpr uint32_t GREEN = RGB(0, 255, 0);

// Opens a fresh black 32-bit image of w x h as the thread's target.
const PixelView& OpenImage(int w, int h, int depth = 32) {
    EndDraw();
    int64_t image = NewImage(-1, w, h, depth);
    EXPECT_NE(BeginDraw(ImageTarget(image)), 0);
    return *ImageHandle(image);
}

int CountColour(const PixelView& picture, uint32_t colour) {
    int count = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) count += PixelColour(picture, x, y) == colour;
    return count;
}

class DiscTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDrawingWorld(); }
    void TearDown() override { EndDraw(); }
};

TEST_F(DiscTest, CoversExactlyTheTabulatedRowsOfEveryRadius) {
    const std::map<int, int> pixels = {{0, 1},   {1, 5},    {2, 21},    {3, 37},
                                       {4, 61},  {5, 97},   {6, 129},   {7, 177},
                                       {8, 221}, {11, 413}, {20, 1313}, {21, 1441}};
    for (auto [radius, count] : pixels) {
        SCOPED_TRACE(radius);
        const PixelView& picture = OpenImage(64, 64);
        FillDisc(30, 33, radius, GREEN);
        RefPicture want(64, 64, 0);
        want.Disc(30, 33, radius, GREEN);
        std::string difference;
        EXPECT_TRUE(SamePicture(picture, want, &difference)) << difference;
        EXPECT_EQ(CountColour(picture, GREEN), count);
    }
}

TEST_F(DiscTest, SmallRadiiSetTheDocumentedPixels) {
    const PixelView& dot = OpenImage(20, 20);
    FillDisc(10, 10, 0, GREEN);
    EXPECT_EQ(CountColour(dot, GREEN), 1);
    EXPECT_EQ(PixelColour(dot, 10, 10), GREEN);

    const PixelView& plus = OpenImage(20, 20);
    FillDisc(10, 10, 1, GREEN);
    EXPECT_EQ(CountColour(plus, GREEN), 5);
    for (auto [x, y] : {std::pair{10, 10}, {9, 10}, {11, 10}, {10, 9}, {10, 11}})
        EXPECT_EQ(PixelColour(plus, x, y), GREEN);

    const PixelView& square = OpenImage(20, 20);
    FillDisc(10, 10, 2, GREEN);
    for (int y = 8; y <= 12; ++y)
        for (int x = 8; x <= 12; ++x) {
            bool corner = (x == 8 || x == 12) && (y == 8 || y == 12);
            EXPECT_EQ(PixelColour(square, x, y) == GREEN, !corner) << x << "," << y;
        }
    EXPECT_EQ(CountColour(square, GREEN), 21);

    const PixelView& cut = OpenImage(10, 10);
    FillDisc(0, 0, 3, GREEN);
    EXPECT_EQ(CountColour(cut, GREEN), 13);  // half-widths 3, 3, 2, 1 cut at x = 0
}

TEST_F(DiscTest, ClipsAtEveryEdgeOfTheTarget) {
    const int w = 40, h = 30;
    const std::pair<int, int> centres[] = {{0, 15},  {39, 15}, {20, 0},   {20, 29},  {0, 0},
                                           {39, 29}, {-5, -5}, {44, 34},  {-19, 15}, {20, -20},
                                           {60, 15}, {20, 51}, {-50, -50}};
    for (int radius : {3, 11, 20, 21}) {
        for (auto [x, y] : centres) {
            SCOPED_TRACE(testing::Message() << "r " << radius << " at " << x << "," << y);
            const PixelView& picture = OpenImage(w, h, 24);
            FillDisc(x, y, radius, GREEN);
            RefPicture want(w, h, 0);
            want.Disc(x, y, radius, GREEN);
            std::string difference;
            EXPECT_TRUE(SamePicture(picture, want, &difference)) << difference;
        }
    }
    // Far outside, even at the ends of the coordinate range: nothing, no crash.
    const PixelView& picture = OpenImage(w, h);
    FillDisc(INT_MAX, INT_MIN, 21, GREEN);
    FillDisc(INT_MIN, 10, 700, GREEN);
    EXPECT_EQ(CountColour(picture, GREEN), 0);
}

// Radii above 700 take 64-bit error terms. Beyond the table, the edge of
// any disc must lie between the circles of radius r and r + 1.
TEST_F(DiscTest, LargeRadiiOnBothSidesOfTheErrorTermSwitch) {
    for (int radius : {21, 699, 700, 701, 1000, 3000}) {
        SCOPED_TRACE(radius);
        const PixelView& quadrant = OpenImage(radius + 2, radius + 2, 24);
        FillDisc(0, 0, radius, GREEN);
        const int64_t r = radius;
        int wrong = 0;
        for (int64_t y = 0; y < quadrant.height; ++y)
            for (int64_t x = 0; x < quadrant.width; ++x) {
                bool set = PixelColour(quadrant, int(x), int(y)) == GREEN;
                int64_t distance = x * x + y * y;
                wrong += set ? distance >= (r + 1) * (r + 1) : distance < r * r;
            }
        EXPECT_EQ(wrong, 0);
    }
}

// The midpoint walk as the drawing layer's documentation gives it, step by
// step, setting each span's pixels one by one.
void MidpointWalk(RefPicture& picture, int64_t x, int64_t y, int64_t radius, uint32_t colour) {
    auto row = [&](int64_t x0, int64_t yy, int64_t n) {
        for (int64_t i = 0; i < n; ++i) picture.Set(int(x0 + i), int(yy), colour);
    };
    auto column = [&](int64_t xx, int64_t y0, int64_t n) {
        for (int64_t i = 0; i < n; ++i) picture.Set(int(xx), int(y0 + i), colour);
    };
    const int64_t A = radius * radius, B = A;
    int64_t e1 = B / 2 - 2 * B * radius + 2 * A, u = 4 * B * radius, e2 = A / 2 - u + 2 * B;
    int64_t dy = 0, acc = 0, h = radius;
    if (e2 < 0) {
        do {
            row(x - h, y + dy, 2 * h + 1);
            if (dy != 0) row(x - h, y - dy, 2 * h + 1);
            dy += 1;
            acc += 4 * A;
            if (e1 < 0) {
                e1 += acc + 2 * A;
                e2 += acc;
            } else {
                u -= 4 * B;
                h -= 1;
                e1 += acc - u + 2 * A;
                e2 += acc - u + 2 * B;
            }
        } while (e2 < 0);
    }
    int64_t bottom = y + dy, top = y - dy, n = 1, c = h;
    do {
        column(x + c, bottom, n);
        column(x + c, top, n);
        if (c != 0) column(x - c, bottom, n), column(x - c, top, n);
        u -= 4 * B;
        c -= 1;
        if (e2 < 0) {
            acc += 4 * A;
            n += 1;
            top -= 1;
            e2 += acc - u + 2 * B;
        } else {
            e2 += 2 * B - u;
        }
    } while (c >= 0);
}

// Discs are stamped as one run per row, from rows learnt once per radius:
// every radius must still set exactly what the walk sets, clipped or not.
TEST_F(DiscTest, EveryRadiusSetsWhatTheMidpointWalkSets) {
    for (int radius = 0; radius <= 100; ++radius) {
        SCOPED_TRACE(radius);
        const int size = 2 * radius + 5;
        for (int offset : {0, radius}) {  // whole, and cut by the left and top edges
            const PixelView& picture = OpenImage(size, size, 24);
            FillDisc(radius + 2 - offset, radius + 2 - offset, radius, GREEN);
            RefPicture want(size, size, 0);
            MidpointWalk(want, radius + 2 - offset, radius + 2 - offset, radius, GREEN);
            std::string difference;
            ASSERT_TRUE(SamePicture(picture, want, &difference)) << difference;
        }
    }
}

TEST_F(DiscTest, WritesRedGreenBlueAndNeverAlpha) {
    EXPECT_EQ(RGB(255, 10, 10), 658175u);
    EXPECT_EQ(RGB(0, 255, 0), 65280u);
    const PixelView& image = OpenImage(50, 50);
    FillDisc(25, 25, 21, RGB(255, 10, 10));
    FillDisc(0, 49, 8, RGB(1, 2, 3) | 0x80000000u);
    const uint8_t* red = image.At(25, 25);
    EXPECT_EQ(red[0], 10);
    EXPECT_EQ(red[1], 10);
    EXPECT_EQ(red[2], 255);
    const uint8_t* corner = image.At(0, 49);
    EXPECT_EQ(corner[0], 3);
    EXPECT_EQ(corner[2], 1);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(image.At(x, y)[3], 255) << x << "," << y;

    const PixelView& narrow = OpenImage(7, 3, 24);  // rows padded to 24 bytes
    std::vector<uint8_t> before(narrow.bits, narrow.bits + narrow.stride * narrow.height);
    FillDisc(3, 1, 21, RGB(9, 8, 7));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelColour(narrow, x, y), RGB(9, 8, 7));
    for (int row = 0; row < 3; ++row)
        for (int pad = 21; pad < narrow.stride; ++pad)
            EXPECT_EQ(narrow.bits[row * narrow.stride + pad], 0) << "padding overwritten";
}

TEST_F(DiscTest, ColourChangesOnTheWholeThirtyTwoBitValue) {
    OpenImage(10, 10);
    DrawingState* state = CurrentDrawingState();
    EXPECT_EQ(state->colour, 0u);
    FillDisc(5, 5, 1, 0x00332211);
    EXPECT_EQ(state->red, 0x11);
    EXPECT_EQ(state->green, 0x22);
    EXPECT_EQ(state->blue, 0x33);
    EXPECT_EQ(state->alpha, 0);
    FillDisc(5, 5, 1, 0x7F332211);  // only the alpha bits differ: still a change
    EXPECT_EQ(state->colour, 0x7F332211u);
    EXPECT_EQ(state->alpha, 0x7F);
    EXPECT_EQ(state->inverseAlpha, 0x80);
    EXPECT_EQ(state->red, 0x11);
}

TEST_F(DiscTest, NothingHappensWithoutATarget) {
    EndDraw();
    ASSERT_EQ(CurrentDrawingState(), nullptr);
    FillDisc(5, 5, 3, GREEN);
    SleepMs(0);
}

}  // namespace
