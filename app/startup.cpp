// The program's main thread. Start-up keeps the order in which each part
// finds what it needs already there: the main window before the capture
// device (its callback window), the device before the worker threads, the
// threads before the first analysis tick.
#include "app/startup.h"

#include <chrono>
#include <cstdlib>
#include <string>

#include "analysis/peak_analysis.h"
#include "app/app_identity.h"
#include "app/main_window.h"
#include "app/reading_aids.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "app/window_menu.h"
#include "capture/capture_device.h"
#include "capture/capture_state.h"
#include "capture/capture_watchdog.h"
#include "capture/handoff.h"
#include "capture/open_capture.h"
#include "draw/canvas.h"
#include "meter/meter_table.h"
#include "system/threads.h"
#include "ui/accessibility.h"
#include "ui/event_queue.h"
#include "ui/launch.h"
#include "ui/platform_ui.h"

namespace {

constexpr int EXIT_CODE = 0;
constexpr int DISPLAY_LOST_EXIT_CODE = 1;
// How long shutdown waits for a reopening of the device under way, then for
// the worker threads to end: a round of either takes well under a
// millisecond, a reopening a few, but an opening on a sound server that does
// not answer waits for its deadline (seconds). The close request is met
// within half a second all the same; what is still busy is left to the exit.
constexpr int32_t WATCHDOG_STOP_MS = 100;
constexpr int32_t WORKER_STOP_MS = 250;
// How long after a close request a choice still being written to the
// settings file is waited for; a write stuck longer is cut off by the
// process's end, and the file stays whole.
constexpr auto SETTINGS_WRITE_LIMIT = std::chrono::milliseconds(400);

// Discards every queued event; platform messages are still dispatched, so
// the message hook keeps taking finished capture blocks.
void DrainEvents() {
    while (PollEvent() != 0) {
    }
}

// Posts the analysis tick only when it could change what the meters show.
// When it could not, and every announced block is in the work buffer, the
// timer rests until the input turns stale or the next message (a finished
// block) comes: a meter showing a steady level then wakes once or twice per
// block instead of on every tick.
void TickAnalysis() {
    const bool handoffIdle = HandoffIdle();  // before the look at the work buffer
    const auto idleUntil = AnalysisIdleUntil();
    if (std::chrono::steady_clock::now() > idleUntil) {
        SemaphorePost(AnalysisSemaphore);
    } else if (handoffIdle) {
        RestWindowTimer(MAIN_WINDOW, ANALYSIS_TIMER, idleUntil);
    }
}

// The display went away: nothing can be shown or asked any more. Recording
// stops as at shutdown, so that the process does not end inside the sound
// service's work; the worker threads and all they touch are left to the
// process's end, which runs no static destructor under them.
[[noreturn]] void EndWithoutDisplay() {
    const auto settingsDeadline = std::chrono::steady_clock::now() + SETTINGS_WRITE_LIMIT;
    DisarmCaptureWatchdog();
    if (void* device = Capture().DeviceHandle) StopCaptureDevice(device);
    FinishSettingsWrites(settingsDeadline);
    std::_Exit(DISPLAY_LOST_EXIT_CODE);
}

}  // namespace

int64_t FatalIfZero(int64_t value, const char* label) {
    if (value != 0) return value;
    std::string text = std::string("Unable to execute --> ") + label;
    ShowMessageBox("Fatal Error!", text.c_str(), 0);
    ShutDown();
}

void* FatalIfZero(void* value, const char* label) {
    if (value) return value;
    FatalIfZero(int64_t{0}, label);
    return nullptr;
}

void StartUp() {
    // A missing display is reported by the window creation below.
    SetDisplayLostHandler(EndWithoutDisplay);
    UiLayerInit();
    const bool readers = AccessibilityInit();
    ThreadLayerInit();
    CreateMeterTable();
    SetDefaultMeterColours(0, 0x999999, 0x00FF00, 0);
    PresetCaptureState();
    CreateMainWindow();
    if (readers) ExposeMainWindow();
    LoadSettingsFile();
    ReadCaptureSettings();
    // The device opens on the capture thread: the window paints and answers
    // at once, whatever the sound service does.
    OpenCapture(MainWindowHandle(), MAIN_WINDOW, true);
    ApplyRememberedCaptureChoice();
    CaptureSemaphore = SemaphoreCreate(0);
    AnalysisSemaphore = SemaphoreCreate(0);
    ThreadStart(CaptureThread, nullptr);
    ThreadStart(AnalysisThread, nullptr);
    ApplyRememberedChoices();
    StartStatusLine();
    InitMeterSmoothing();
    RescaleChannelCount();
}

namespace {

// One event of the main thread, from the event loop or, while a modal loop
// of the window system holds the thread, from the window layer; false on
// the close request, which ends the loop.
bool HandleEvent(int64_t code) {
    if (code == EVENT_CLOSE_WINDOW) return false;
    if (code == EVENT_CONTROL) {
        if (EventControl() == DONATION_BUTTON) {
            DrainEvents();
            if (OpenAddress(DONATION_ADDRESS) == 0) SayBrowserFailed();
            DrainEvents();
        } else if (EventData() == CANVAS_LEFT_UP) {
            ClickMeter(EventControl());
        } else if (EventData() == CANVAS_SHOWN) {
            RedrawShownMeter(EventControl());
        }
    } else if (code == EVENT_TIMER && EventTimerId() == static_cast<int64_t>(ANALYSIS_TIMER)) {
        TickAnalysis();
    } else if (code == EVENT_TIMER && EventTimerId() == static_cast<int64_t>(STATUS_TIMER)) {
        RefreshStatusLine();
    } else if (code == EVENT_RIGHT_CLICK && EventWindow() == MAIN_WINDOW) {
        OpenWindowMenu(EventData() == 1);
    } else if (code == EVENT_LETTER_KEY && EventWindow() == MAIN_WINDOW && EventData() == 'L') {
        SayMainWindowLevels();
    } else if (code == EVENT_MENU && EventWindow() == MAIN_WINDOW) {
        TakeWindowMenuChoice(EventControl());
    }
    return true;
}

}  // namespace

void RunEventLoop() {
    SetModalLoopEventHandler(HandleEvent);
    while (HandleEvent(WaitEvent())) {
    }
}

void ShutDown() {
    // The worker threads finish their round and end first, after any
    // reopening under way, so that nothing queues a block with the device
    // once its reset has begun (its close would then fail and leave it
    // open). Then recording stops and the device is closed, so that the
    // process never ends in the middle of the sound service's own work, nor
    // with a thread cut off inside a system call (either can crash Wine's
    // process exit). A thread that does not end in time is left to the
    // exit, and the device with it: the capture blocks, the work buffer, the
    // meters and their canvases stay untouched until the process ends. The
    // settings file's last write goes on meanwhile.
    const auto settingsDeadline = std::chrono::steady_clock::now() + SETTINGS_WRITE_LIMIT;
    const bool disarmed = DisarmCaptureWatchdog(WATCHDOG_STOP_MS);
    SemaphoreRecord* const workers[] = {CaptureSemaphore, AnalysisSemaphore};
    CaptureState& capture = Capture();
    if (StopThreads(workers, 2, WORKER_STOP_MS) && disarmed && capture.DeviceHandle) {
        StopCaptureDevice(capture.DeviceHandle, capture.HeaderRing.data(),
                          capture.HeaderRing.size());
    }
    FinishSettingsWrites(settingsDeadline);
    AccessibilityClose();
    ThreadLayerClose();
    UiLayerClose();
    std::_Exit(EXIT_CODE);
}

void RunVellumtone() {
    StartUp();
    RunEventLoop();
    ShutDown();
}
