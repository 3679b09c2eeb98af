// Layout of the main window, in 96-DPI pixels: a 1024 x 220 client area,
// two 497-wide meters 10 pixels apart and from the sides, the button
// centred under them. The window layer scales it for the display, at
// creation and again whenever the window's display scale changes.
#include "app/main_window.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "analysis/peak_analysis.h"
#include "app/app_identity.h"
#include "app/startup.h"
#include "capture/handoff.h"
#include "meter/clip_news.h"
#include "meter/create_meter.h"
#include "meter/level_report.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "ui/accessibility.h"
#include "ui/message_loop.h"
#include "ui/platform_ui.h"

namespace {

void* mainWindowHandle = nullptr;

constexpr uint32_t CAPTION_AND_SYSTEM_MENU = 0xC80000;  // WS_CAPTION + WS_SYSMENU
constexpr uint32_t PUSH_LIKE_TOGGLE = 0x1003;           // BS_AUTOCHECKBOX + BS_PUSHLIKE
constexpr int METER_WIDTH = 497;
constexpr int64_t METER_FLAGS = 3;  // overload indicator on

struct Place {
    int x, y, width, height;  // height 0: the meter's own
};
constexpr Place WINDOW_PLACE = {30, 30, 1024, 220};  // the client area
constexpr Place BUTTON_PLACE = {330, 170, 350, 30};
constexpr Place LEFT_METER_PLACE = {10, 10, METER_WIDTH, 0};
constexpr Place RIGHT_METER_PLACE = {METER_WIDTH + 20, 10, METER_WIDTH, 0};
// The free background right of the button, in the button's band: 10 pixels
// from the button and from the window's edge, below the meters (which end
// at 151); and left of the button likewise, for the words of a longer line.
constexpr TextRoom STATUS_ROOM = {
    BUTTON_PLACE.x + BUTTON_PLACE.width + 10, BUTTON_PLACE.y,
    WINDOW_PLACE.width - 10 - (BUTTON_PLACE.x + BUTTON_PLACE.width + 10), BUTTON_PLACE.height};
constexpr TextRoom STATUS_HEAD_ROOM = {10, BUTTON_PLACE.y, BUTTON_PLACE.x - 10 - 10,
                                       BUTTON_PLACE.height};

// The window layer has scaled the window and made its control font for the
// new scale; the button and the meters follow, laid out as at creation.
void RescaleMainWindow(int64_t) {
    PlaceControl(DONATION_BUTTON, BUTTON_PLACE.x, BUTTON_PLACE.y, BUTTON_PLACE.width,
                 BUTTON_PLACE.height);
    std::lock_guard<std::mutex> hold(MeterUpdateLock());
    RescaleMeter(LEFT_METER, LEFT_METER_PLACE.x, LEFT_METER_PLACE.y, LEFT_METER_PLACE.width);
    RescaleMeter(RIGHT_METER, RIGHT_METER_PLACE.x, RIGHT_METER_PLACE.y, RIGHT_METER_PLACE.width);
}

// What each meter last told screen readers. Under MeterUpdateLock.
LevelReportState leftReport, rightReport;
ClipNewsState leftClip, rightClip;
std::atomic<bool> clipsTold{false};

// One meter's update as readers hear it; true when more of the same would
// tell them nothing new.
bool TellLevel(int64_t meter, LevelReportState& report, ClipNewsState& clip, const char* clipped,
               int32_t peak, std::chrono::steady_clock::time_point now) {
    const bool lit = MeterOverloadLit(meter);
    if (TakeLevelReport(report, peak, lit, now)) {
        SetAccessibleLevel(meter, report.told.value, report.told.text.c_str());
    }
    // The light is followed while clips are not told too, so that one lit
    // already when they are chosen is not told as new.
    if (!clipsTold.load()) {
        clip.lit = lit;
    } else if (TakeClipLight(clip, lit, now)) {
        AnnounceText(MAIN_WINDOW, clipped);
    }
    return LevelReportSettled(report, peak);
}

bool TellLevels(const ChannelPeaks& peaks, std::chrono::steady_clock::time_point now) {
    const bool left =
        TellLevel(LEFT_METER, leftReport, leftClip, "Left clipped", peaks.PeakLeft, now);
    const bool right =
        TellLevel(RIGHT_METER, rightReport, rightClip, "Right clipped", peaks.PeakRight, now);
    return left && right;
}

}  // namespace

void* MainWindowHandle() {
    return mainWindowHandle;
}

int CreateMainWindow() {
    mainWindowHandle = FatalIfZero(
        CreateTopWindow(MAIN_WINDOW, WINDOW_PLACE.x, WINDOW_PLACE.y, WINDOW_PLACE.width,
                        WINDOW_PLACE.height, WINDOW_TITLE, CAPTION_AND_SYSTEM_MENU, nullptr),
        "op");
    CreatePushButton(DONATION_BUTTON, BUTTON_PLACE.x, BUTTON_PLACE.y, BUTTON_PLACE.width,
                     BUTTON_PLACE.height, DONATION_BUTTON_TEXT, PUSH_LIKE_TOGGLE);
    SetWindowBackground(MAIN_WINDOW, MAIN_WINDOW_BACKGROUND);
    FatalIfZero(CreateMeter(LEFT_METER, LEFT_METER_PLACE.x, LEFT_METER_PLACE.y,
                            LEFT_METER_PLACE.width, " ", METER_FLAGS),
                "mtgd1");
    FatalIfZero(CreateMeter(RIGHT_METER, RIGHT_METER_PLACE.x, RIGHT_METER_PLACE.y,
                            RIGHT_METER_PLACE.width, " ", METER_FLAGS),
                "mtgd1");
    SetMessageHook(WaveMessageHook);
    SetScaleChangeHandler(MAIN_WINDOW, RescaleMainWindow);
    // Built at the display's scale: a screen too small for it gets the
    // window rebuilt at the largest scale that fits.
    KeepWindowOnScreen(MAIN_WINDOW);
    return 0;
}

void ExposeMainWindow() {
    const LevelReport silence = ReportLevel(0, false);
    auto level = [&](int64_t meter, const char* name, const Place& place) {
        return AccessiblePart{.control = meter,
                              .role = AccessibleRole::LEVEL_INDICATOR,
                              .name = name,
                              .x = place.x,
                              .y = place.y,
                              .width = place.width,
                              .height = MeterHeight(place.width),
                              .minimum = REPORTED_LEVEL_MINIMUM,
                              .maximum = REPORTED_LEVEL_MAXIMUM,
                              .value = silence.value,
                              .text = silence.text.c_str()};
    };
    const AccessiblePart parts[] = {
        level(LEFT_METER, "Left channel", LEFT_METER_PLACE),
        level(RIGHT_METER, "Right channel", RIGHT_METER_PLACE),
        AccessiblePart{.control = DONATION_BUTTON,
                       .role = AccessibleRole::PUSH_BUTTON,
                       .name = DONATION_BUTTON_TEXT,
                       .x = BUTTON_PLACE.x,
                       .y = BUTTON_PLACE.y,
                       .width = BUTTON_PLACE.width,
                       .height = BUTTON_PLACE.height},
    };
    ExposeWindow(MAIN_WINDOW, mainWindowHandle, WINDOW_TITLE, WINDOW_PLACE.width,
                 WINDOW_PLACE.height, parts, 3);
    SetLevelListener(TellLevels);
}

void SayMainWindowLevels() {
    std::string said;
    {
        std::lock_guard<std::mutex> hold(MeterUpdateLock());
        said = SayLevels(leftReport, rightReport);
    }
    AnnounceText(MAIN_WINDOW, said.c_str());
}

void SetClipAnnouncements(bool on) {
    clipsTold.store(on);
}

void RedrawShownMeter(int64_t meter) {
    if (meter != LEFT_METER && meter != RIGHT_METER) return;
    // The ticks skipped while nobody could see the meters first, then
    // ticking again: the picture shows where the needle stands now.
    AnalysisCatchUp(std::chrono::steady_clock::now());
    WakeRestingTimers();
    std::lock_guard<std::mutex> hold(MeterUpdateLock());
    RedrawMeter(meter);
}

void ShowMainWindowStatus(const char* text) {
    SetWindowStatusText(MAIN_WINDOW, STATUS_ROOM, STATUS_HEAD_ROOM, text);
}

int InitMeterSmoothing() {
    // The worker threads run by now.
    std::lock_guard<std::mutex> hold(MeterUpdateLock());
    ResetMeterSmoothing(LEFT_METER, 16);
    ResetMeterSmoothing(RIGHT_METER, 16);
    return 0;
}
