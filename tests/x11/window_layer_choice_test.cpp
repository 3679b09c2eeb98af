// Which window layer UiLayerInit brings up: the real X11 layer on the
// tests' display, and Wayland layers that answer or not as a test needs.
#include <gtest/gtest.h>

#include <string>

#include "ui/window_layer_choice_linux.h"
#include "ui/window_layer_linux.h"

namespace {

std::string tried;  // the layers started, in order
DisplayLostHandler givenHandler = nullptr;

bool WaylandAnswers() {
    tried += "wayland ";
    return true;
}
bool NoCompositor() {
    tried += "wayland ";
    return false;
}
bool RealX11() {
    tried += "x11 ";
    return X11WindowLayer().uiLayerInit();
}
bool NoXDisplay() {
    tried += "x11 ";
    return false;
}
void KeepHandler(DisplayLostHandler handler) {
    givenHandler = handler;
}
void LostForTest() {}

WindowLayer Layer(const WindowLayer& base, bool (*init)()) {
    WindowLayer layer = base;
    layer.uiLayerInit = init;
    layer.setDisplayLostHandler = KeepHandler;
    return layer;
}

class WindowLayerChoice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!X11WindowLayer().uiLayerInit()) GTEST_SKIP() << "no X display to test with";
        tried.clear();
        givenHandler = nullptr;
    }
    const WindowLayer answering = Layer(WaylandWindowLayer(), WaylandAnswers);
    const WindowLayer silent = Layer(WaylandWindowLayer(), NoCompositor);
    const WindowLayer x11 = Layer(X11WindowLayer(), RealX11);
    const WindowLayer noX11 = Layer(X11WindowLayer(), NoXDisplay);
};

TEST_F(WindowLayerChoice, WaylandFirstWhenACompositorAnswersElseX11) {
    EXPECT_EQ(BringUpWindowLayer(nullptr, answering, x11, nullptr), &answering);
    EXPECT_EQ(tried, "wayland ");
    tried.clear();
    EXPECT_EQ(BringUpWindowLayer(nullptr, silent, x11, nullptr), &x11);
    EXPECT_EQ(tried, "wayland x11 ");
    tried.clear();
    EXPECT_EQ(BringUpWindowLayer(nullptr, silent, noX11, nullptr), nullptr);
    EXPECT_EQ(tried, "wayland x11 ");
}

TEST_F(WindowLayerChoice, ForcedLayerComesFirstAndFallsBackWithOneLine) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(BringUpWindowLayer("x11", answering, x11, nullptr), &x11);
    EXPECT_EQ(tried, "x11 ");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    tried.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(BringUpWindowLayer("wayland", silent, x11, nullptr), &x11);
    EXPECT_EQ(tried, "wayland x11 ");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vellumtone: no Wayland compositor answered (VELLUMTONE_BACKEND=wayland); using "
              "X11\n");

    tried.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(BringUpWindowLayer("x11", answering, noX11, nullptr), &answering);
    EXPECT_EQ(tried, "x11 wayland ");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vellumtone: no X display answered (VELLUMTONE_BACKEND=x11); using Wayland\n");
}

TEST_F(WindowLayerChoice, UnknownRequestSaysSoAndKeepsTheDefaultOrder) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(BringUpWindowLayer("mir", silent, x11, nullptr), &x11);
    EXPECT_EQ(tried, "wayland x11 ");
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("VELLUMTONE_BACKEND=mir"), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
}

TEST_F(WindowLayerChoice, DisplayLostHandlerReachesTheChosenLayer) {
    EXPECT_EQ(BringUpWindowLayer(nullptr, silent, x11, LostForTest), &x11);
    EXPECT_EQ(givenHandler, LostForTest);
}

TEST_F(WindowLayerChoice, TheSeamUsesX11WhenNoCompositorAnswers) {
    // The Wayland layer of this build finds no compositor on the tests'
    // private runtime directory.
    ASSERT_TRUE(UiLayerInit());
    EXPECT_STREQ(CurrentWindowLayer().name, "x11");
}

}  // namespace
