// Images, the headless canvas, drawing targets and BlitImage: sizes and
// fills, clipping of image copies, and who gets a canvas picture when.
#include <gtest/gtest.h>

#include <thread>

#include "draw/canvas.h"
#include "draw/drawing_state.h"
#include "draw/drawing_target.h"
#include "draw/primitives.h"
#include "tests/support/drawing_world.h"
#include "tests/support/reference_meter.h"

namespace {

class ImageTargetTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDrawingWorld(); }
    void TearDown() override { EndDraw(); }
};

// An image whose every pixel has colour x + 256 y (and the given alpha), so
// that any copied pixel tells where it came from.
int64_t NumberedImage(int w, int h, int depth, uint8_t alpha = 255) {
    int64_t image = NewImage(-1, w, h, depth);
    const PixelView& view = *ImageHandle(image);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* pixel = view.At(x, y);
            pixel[0] = 0, pixel[1] = uint8_t(y), pixel[2] = uint8_t(x);
            if (depth == 32) pixel[3] = alpha;
        }
    return image;
}

TEST_F(ImageTargetTest, NewImagesAreOpaqueBlackBottomUpBitmaps) {
    int64_t image = NewImage(-1, 493, 327, 32);
    ASSERT_NE(image, 0);
    const PixelView* view = ImageHandle(image);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->stride, 493 * 4);
    for (int i = 0; i < view->stride * view->height; ++i)
        ASSERT_EQ(view->bits[i], i % 4 == 3 ? 255 : 0) << i;
    // The top picture row is the last memory row.
    EXPECT_EQ(view->At(0, 0), view->bits + 326 * view->stride);

    const PixelView* deep8 = ImageHandle(NewImage(-1, 7, 2, 8));
    ASSERT_NE(deep8, nullptr);
    EXPECT_EQ(deep8->depth, 24);
    EXPECT_EQ(deep8->stride, 24);  // 21 bytes padded to whole words

    EXPECT_NE(NewImage(0, 4, 4, 32), 0);  // number 0 still answers non-zero
    EXPECT_NE(NewImage(5, 4, 4, 24), 0);
    EXPECT_NE(NewImage(5, 9, 9, 32), 0);  // replaces image 5
    EXPECT_EQ(ImageHandle(5)->width, 9);
    for (auto [w, h, depth] : {std::tuple{0, 5, 32}, {5, -1, 32}, {40000, 5, 32}, {5, 5, 48}})
        EXPECT_EQ(NewImage(6, w, h, depth), 0) << w << "x" << h << "x" << depth;
    EXPECT_EQ(ImageHandle(6), nullptr);
    EXPECT_EQ(NewImage(-7, 5, 5, 32), 0);
    EXPECT_EQ(ImageHandle(12345), nullptr);
    ReleaseAllImages();
    EXPECT_EQ(ImageHandle(image), nullptr);
    EXPECT_EQ(ImageHandle(5), nullptr);
}

TEST_F(ImageTargetTest, CanvasPicturesAreWhiteAndAllowForTheBorder) {
    EXPECT_NE(CanvasControl(3, 10, 10, 497, 141, CANVAS_BORDER), 0);
    const PixelView* picture = MemoryCanvasPicture(3);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->width, 493);
    EXPECT_EQ(picture->height, 137);
    EXPECT_EQ(picture->depth, 24);
    for (int y = 0; y < 137; ++y)
        for (int x = 0; x < 493; ++x) ASSERT_EQ(PixelColour(*picture, x, y), 0xFFFFFFu);
    for (auto [w, h] : {std::pair{3, 3}, {0, 0}, {497, -90}}) {
        ASSERT_NE(CanvasControl(4, 0, 0, w, h, CANVAS_BORDER), 0);
        EXPECT_EQ(MemoryCanvasPicture(4)->width, std::max(w - 4, 1));
        EXPECT_EQ(MemoryCanvasPicture(4)->height, 1);
    }
    CanvasControl(4, 0, 0, 30, 20, 0);
    EXPECT_EQ(MemoryCanvasPicture(4)->width, 30);
    int64_t fresh = CanvasControl(-1, 0, 0, 8, 8, 0);
    EXPECT_NE(MemoryCanvasPicture(fresh), nullptr);
}

TEST_F(ImageTargetTest, BlitClipsToTheTargetAndCopiesOpaquely) {
    CanvasControl(3, 10, 10, 497, 141, CANVAS_BORDER);
    const PixelView& canvas = *MemoryCanvasPicture(3);
    int64_t dial = NumberedImage(493, 327, 32, 0);  // alpha 0 everywhere
    for (auto [x, y] : {std::pair{0, 0}, {-10, -5}, {480, 130}, {-493, 0}, {0, 137}}) {
        SCOPED_TRACE(testing::Message() << "at " << x << "," << y);
        ASSERT_NE(BeginDraw(CanvasTarget(3)), 0);
        FillDisc(0, 0, 600, 0xFFFFFF);  // start from white
        BlitImage(ImageHandle(dial), x, y);
        EXPECT_EQ(EndDraw(), 1);
        for (int row = 0; row < 137; ++row)
            for (int column = 0; column < 493; ++column) {
                int sx = column - x, sy = row - y;
                uint32_t want = (sx >= 0 && sx < 493 && sy >= 0 && sy < 327)
                                    ? uint32_t(sx & 255) | uint32_t(sy & 255) << 8
                                    : 0xFFFFFF;
                ASSERT_EQ(PixelColour(canvas, column, row), want) << column << "," << row;
            }
    }
    // Handle 0, or no target at all: nothing is drawn.
    ASSERT_NE(BeginDraw(CanvasTarget(3)), 0);
    BlitImage(ImageHandle(dial), 0, 0);
    BlitImage(ImageHandle(999), 0, 0);
    EndDraw();
    BlitImage(ImageHandle(NewImage(-1, 493, 137, 24)), 0, 0);
    EXPECT_EQ(PixelColour(canvas, 20, 30), 20u | 30u << 8);
}

TEST_F(ImageTargetTest, BlitOntoAThirtyTwoBitImageKeepsItsAlpha) {
    int64_t target = NewImage(-1, 20, 10, 32);
    int64_t source = NumberedImage(10, 10, 24);
    ASSERT_NE(BeginDraw(ImageTarget(target)), 0);
    BlitImage(ImageHandle(source), 5, 0);
    EndDraw();
    const PixelView& view = *ImageHandle(target);
    EXPECT_EQ(PixelColour(view, 7, 3), 2u | 3u << 8);
    EXPECT_EQ(view.At(7, 3)[3], 255);
    // Drawn pixels stay in the image: a later copy shows them.
    CanvasControl(1, 0, 0, 20, 10, 0);
    BeginDraw(CanvasTarget(1));
    BlitImage(ImageHandle(target), 0, 0);
    EndDraw();
    EXPECT_EQ(PixelColour(*MemoryCanvasPicture(1), 7, 3), 2u | 3u << 8);
    EXPECT_EQ(PixelColour(*MemoryCanvasPicture(1), 2, 3), 0u);
}

TEST_F(ImageTargetTest, TargetsBeginAndEndOnlyWhatTheyShould) {
    EXPECT_EQ(BeginDraw(nullptr), 0);
    EXPECT_EQ(EndDraw(), 0);
    EXPECT_EQ(ImageTarget(777), nullptr);
    EXPECT_EQ(CanvasTarget(777), nullptr);

    CanvasControl(3, 0, 0, 50, 50, CANVAS_BORDER);
    DrawingState* target = CanvasTarget(3);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->width, 46);
    EXPECT_EQ(target->depth, 24);
    EXPECT_EQ(target->bytesPerPixel, 3);
    EXPECT_TRUE(target->bottomUp);
    EXPECT_EQ(target->mode, 0);
    EXPECT_EQ(target->control, 3);
    EXPECT_EQ(CurrentDrawingState(), target);
    EXPECT_NE(BeginDraw(target), 0);
    EXPECT_EQ(MemoryCanvasPresentCount(3), 0);
    EXPECT_EQ(EndDraw(), 1);
    EXPECT_EQ(MemoryCanvasPresentCount(3), 1);
    EXPECT_EQ(CurrentDrawingState(), nullptr);

    // A new target replaces an unfinished one, giving its canvas back
    // unshown: the same thread can open the canvas again at once.
    DrawingState* first = CanvasTarget(3);
    ASSERT_NE(first, nullptr);
    DrawingState* second = CanvasTarget(3);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(BeginDraw(second), 1);
    EXPECT_EQ(EndDraw(), 1);
    EXPECT_EQ(MemoryCanvasPresentCount(3), 2);

    // The canvas disappears while a target is open: nothing to show.
    BeginDraw(CanvasTarget(3));
    ResetMemoryCanvases();
    FillDisc(3, 3, 2, 0);
    EXPECT_EQ(EndDraw(), 1);
}

TEST_F(ImageTargetTest, ACanvasIsDrawnAndShownFromAnyThread) {
    CanvasControl(4, 0, 0, 40, 40, CANVAS_BORDER);
    std::thread worker([] {
        BeginDraw(CanvasTarget(4));
        FillDisc(18, 18, 2, RGB(0, 255, 0));
        EndDraw();
    });
    // Meanwhile this thread has its own target.
    ASSERT_NE(BeginDraw(ImageTarget(NewImage(-1, 5, 5, 32))), 0);
    FillDisc(2, 2, 1, RGB(255, 0, 0));
    worker.join();
    EXPECT_EQ(EndDraw(), 1);
    EXPECT_EQ(MemoryCanvasPresentCount(4), 1);
    EXPECT_EQ(PixelColour(*MemoryCanvasPicture(4), 18, 18), RGB(0, 255, 0));
    // The worker gave the guard back: this thread can take the canvas too.
    ASSERT_NE(BeginDraw(CanvasTarget(4)), 0);
    EXPECT_EQ(EndDraw(), 1);
}

}  // namespace
