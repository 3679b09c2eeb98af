// What the line beside the button says, and when it is drawn again. The
// capture service notes its state as it changes, so a look costs a lock and
// a few string compares; the window layer repaints only on a new text.
#include "app/status_line.h"

#include <string>

#include "app/main_window.h"
#include "app/settings.h"
#include "app/settings_writer.h"
#include "capture/capture_inputs.h"
#include "capture/capture_state.h"
#include "system/utf8_text.h"
#include "ui/launch.h"
#include "ui/platform_ui.h"

namespace {

constexpr uint32_t STATUS_INTERVAL_MS = 250;
// Long enough to be read, short enough not to be taken for a state.
constexpr auto NOTICE_TIME = std::chrono::seconds(5);
constexpr const char* BROWSER_FAILED = "Could not open the web browser";
// What a missing choice leaves the meter recording, after an em dash.
constexpr const char* DEFAULT_INSTEAD = "\xE2\x80\x94 recording the default input";
// What the recording does is said once it has held this long: a moment
// without a device (the first opening under way, a switch to another input)
// is no state to tell.
constexpr auto SETTLE_TIME = std::chrono::seconds(1);

std::string shown;    // the text on the window now
std::string settled;  // what the recording does, as it has held for SETTLE_TIME
std::string lately;   // what it did at the last look, and since when
std::chrono::steady_clock::time_point latelySince;
std::chrono::steady_clock::time_point noticeUntil;
int64_t refusalsSeen = 0;  // the launch layer's late refusals already said

// A name as the menu shows it: an output's (what a monitor records) marked.
std::string AsListed(const std::string& name, bool ofOutput) {
    return ofOutput ? name + " (output)" : name;
}

// The input chosen by name, as the menu wrote its name beside its id; what
// records, or else the id, when no name was written (a file from an older
// version, or by hand).
std::string ChosenInputName(const CaptureStatusRecord& status) {
    std::string name = ReadSettingText("InputName");
    if (name.empty() && status.condition == CaptureCondition::RECORDING &&
        !status.recording.empty()) {
        name = AsListed(status.recording, status.ofOutput);
    }
    return name.empty() ? ReadSettingText("Input") : name;
}

// What the recording does, when it is not the default input working: each
// text says the state first, then the name, then what follows from it.
std::string CaptureText(const CaptureStatusRecord& status) {
    if (status.condition == CaptureCondition::NO_SERVER) return "No sound server: waiting";
    if (status.condition == CaptureCondition::NO_DEVICE) return "No input to record from: waiting";
    const bool standingIn = status.condition == CaptureCondition::STANDING_IN;
    if (ReadSettingInteger("Playing", 0) == 1) {
        if (standingIn) return std::string("Not available: what's playing ") + DEFAULT_INSTEAD;
        if (status.recording.empty()) return "Recording: what's playing";
        return "Recording what's playing: " + AsListed(status.recording, status.ofOutput);
    }
    if (ReadSettingText("Input").empty()) return "";
    const std::string name = ChosenInputName(status);
    if (standingIn) return "Not connected: " + name + " " + DEFAULT_INSTEAD;
    return "Recording: " + name;
}

// A choice the settings file did not take: said for as long as the program
// runs, under a trouble with the recording, over what is recorded.
const char* SettingsText() {
    switch (LastSettingsWriteFailure()) {
        case SettingsWriteFailure::NONE:
            return "";
        case SettingsWriteFailure::TOO_LARGE:
            return "Settings file too large: choice kept until the program ends";
        case SettingsWriteFailure::OTHER:
            break;
    }
    return "Settings not saved: choice kept until the program ends";
}

std::string LineText(const CaptureStatusRecord& status) {
    const std::string capture = CaptureText(status);
    const std::string settings = SettingsText();
    if (status.condition != CaptureCondition::RECORDING || settings.empty()) return capture;
    return settings;
}

}  // namespace

void StartStatusLine() {
    StartWindowTimer(MAIN_WINDOW, STATUS_TIMER, STATUS_INTERVAL_MS);
    RefreshStatusLine();
}

void RefreshStatusLine(std::chrono::steady_clock::time_point now) {
    // Xdg-open may refuse an address after OpenAddress has handed it over.
    const int64_t refusals = RefusedAddressCount();
    if (refusals != refusalsSeen) {
        refusalsSeen = refusals;
        noticeUntil = now + NOTICE_TIME;
    }
    // Names come from outside (the settings file, the sound system): shown
    // readably whatever their encoding.
    const std::string looked = ReadableText(LineText(QueryCaptureStatus(Capture().DeviceHandle)));
    if (looked != lately) {
        lately = looked;
        latelySince = now;
    }
    if (now - latelySince >= SETTLE_TIME) settled = lately;
    const std::string text = now < noticeUntil ? std::string(BROWSER_FAILED) : settled;
    if (text == shown) return;
    shown = text;
    ShowMainWindowStatus(text.c_str());
}

void SayBrowserFailed(std::chrono::steady_clock::time_point now) {
    noticeUntil = now + NOTICE_TIME;
    RefreshStatusLine(now);
}
