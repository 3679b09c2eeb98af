// Layout of the main window, in 96-DPI pixels: a 1024 x 220 client area,
// two 497-wide meters 10 pixels apart and from the sides, the button
// centred under them.
#include "app/main_window.h"

#include "app/app_identity.h"
#include "app/startup.h"
#include "capture/handoff.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "ui/platform_ui.h"

namespace {

void* mainWindowHandle = nullptr;

constexpr uint32_t CAPTION_AND_SYSTEM_MENU = 0xC80000;  // WS_CAPTION + WS_SYSMENU
constexpr uint32_t PUSH_LIKE_TOGGLE = 0x1003;           // BS_AUTOCHECKBOX + BS_PUSHLIKE
constexpr int METER_WIDTH = 497;
constexpr int64_t METER_FLAGS = 3;  // overload indicator on

}  // namespace

void* MainWindowHandle() {
    return mainWindowHandle;
}

int CreateMainWindow() {
    mainWindowHandle = FatalIfZero(CreateTopWindow(MAIN_WINDOW, 30, 30, 1024, 220, WINDOW_TITLE,
                                                   CAPTION_AND_SYSTEM_MENU, nullptr),
                                   "op");
    CreatePushButton(DONATION_BUTTON, 330, 170, 350, 30, DONATION_BUTTON_TEXT, PUSH_LIKE_TOGGLE);
    SetWindowBackground(MAIN_WINDOW, MAIN_WINDOW_BACKGROUND);
    FatalIfZero(CreateMeter(LEFT_METER, 10, 10, METER_WIDTH, " ", METER_FLAGS), "mtgd1");
    FatalIfZero(CreateMeter(RIGHT_METER, METER_WIDTH + 20, 10, METER_WIDTH, " ", METER_FLAGS),
                "mtgd1");
    SetMessageHook(WaveMessageHook);
    return 0;
}

int InitMeterSmoothing() {
    ResetMeterSmoothing(LEFT_METER, 16);
    ResetMeterSmoothing(RIGHT_METER, 16);
    return 0;
}
