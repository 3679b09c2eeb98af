// The main window's menu. Its inputs are asked of the sound system each time
// it opens, so that it shows what is there now; the one remembered but
// missing is listed greyed, so the user sees what the meter waits for.
#include "app/window_menu.h"

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/reading_aids.h"
#include "app/settings.h"
#include "capture/capture_inputs.h"
#include "capture/capture_state.h"
#include "ui/platform_ui.h"
#include "ui/popup_menu.h"

namespace {

constexpr int64_t DEFAULT_INPUT_COMMAND = 1;
constexpr int64_t PLAYING_COMMAND = 2;
constexpr int64_t ON_TOP_COMMAND = 3;
constexpr int64_t SCALE_MARKS_COMMAND = 4;
constexpr int64_t PEAK_HOLD_COMMAND = 5;
constexpr int64_t HOLD_OVERLOAD_COMMAND = 6;
constexpr int64_t CLEAR_OVERLOAD_COMMAND = 7;
constexpr int64_t DECIBEL_SCALE_COMMAND = 8;
constexpr int64_t LEVEL_READOUT_COMMAND = 9;
constexpr int64_t FIRST_INPUT_COMMAND = 16;  // one command per input listed
// The menu opens on the main thread: a sound system that does not answer
// within this time gives a menu without inputs.
constexpr int32_t LIST_TIMEOUT_MS = 500;

// The ids of the inputs in the menu last shown, by command.
std::vector<std::string> shownInputs;

struct Choice {
    CaptureTarget target = CaptureTarget::DEFAULT_INPUT;
    std::string input;  // NAMED_INPUT's id
};

Choice RememberedChoice() {
    if (ReadSettingInteger("Playing", 0) == 1) return {CaptureTarget::PLAYING, ""};
    std::string input = ReadSettingText("Input");
    if (!input.empty()) return {CaptureTarget::NAMED_INPUT, input};
    return {};
}

bool OnTop() {
    return ReadSettingInteger("OnTop", 0) == 1;
}

// Also with no device open: where the platform keeps a choice for the
// device it opens later, that one records from it.
void Record(const Choice& choice) {
    ChooseCaptureTarget(Capture().DeviceHandle, choice.target, choice.input);
}

PopupMenuItem InputItem(const std::string& id, const std::string& text, const Choice& current,
                        bool present) {
    shownInputs.push_back(id);
    const auto command = FIRST_INPUT_COMMAND + static_cast<int64_t>(shownInputs.size()) - 1;
    const bool chosen = current.target == CaptureTarget::NAMED_INPUT && current.input == id;
    return PopupMenuItem{command, text, chosen, present};
}

PopupMenuItem Separator() {
    return PopupMenuItem{0, "", false, true};
}

}  // namespace

void ApplyRememberedCaptureChoice() {
    const Choice remembered = RememberedChoice();
    if (remembered.target != CaptureTarget::DEFAULT_INPUT) Record(remembered);
}

void ApplyRememberedChoices() {
    if (OnTop()) SetWindowOnTop(MAIN_WINDOW, true);
    ApplyReadingAids();
}

void OpenWindowMenu(bool byKeyboard) {
    const Choice current = RememberedChoice();
    const std::vector<CaptureInputRecord> inputs = ListCaptureInputs(LIST_TIMEOUT_MS);
    shownInputs.clear();
    std::vector<PopupMenuItem> items;
    items.push_back(PopupMenuItem{DEFAULT_INPUT_COMMAND, "Default input",
                                  current.target == CaptureTarget::DEFAULT_INPUT, true});
    bool chosenPresent = current.target != CaptureTarget::NAMED_INPUT;
    for (const CaptureInputRecord& input : inputs) {
        if (input.id == current.input) chosenPresent = true;
        if (!input.ofOutput) items.push_back(InputItem(input.id, input.name, current, true));
    }
    if (!chosenPresent) {
        items.push_back(
            InputItem(current.input, current.input + " (not connected)", current, false));
    }
    items.push_back(Separator());
    items.push_back(PopupMenuItem{PLAYING_COMMAND, "What's playing",
                                  current.target == CaptureTarget::PLAYING,
                                  PlayingCaptureAvailable()});
    for (const CaptureInputRecord& input : inputs) {
        if (input.ofOutput) items.push_back(InputItem(input.id, input.name, current, true));
    }
    items.push_back(Separator());
    items.push_back(PopupMenuItem{ON_TOP_COMMAND, "Always on top", OnTop(), true});
    const ReadingAidsChoice aids = RememberedReadingAids();
    items.push_back(Separator());
    items.push_back(PopupMenuItem{SCALE_MARKS_COMMAND, "Scale marks", aids.scaleMarks, true});
    items.push_back(PopupMenuItem{DECIBEL_SCALE_COMMAND, "Decibel scale", aids.decibelScale, true});
    items.push_back(PopupMenuItem{PEAK_HOLD_COMMAND, "Peak hold", aids.peakHold, true});
    items.push_back(PopupMenuItem{LEVEL_READOUT_COMMAND, "Level readout", aids.levelReadout, true});
    items.push_back(PopupMenuItem{HOLD_OVERLOAD_COMMAND, "Hold overload until clicked",
                                  aids.holdOverload, true});
    // Only a held light waits to be cleared.
    items.push_back(
        PopupMenuItem{CLEAR_OVERLOAD_COMMAND, "Clear overload", false, aids.holdOverload});
    ShowPopupMenu(MAIN_WINDOW, items, !byKeyboard);
}

void TakeWindowMenuChoice(int64_t command) {
    Choice choice;
    if (command == ON_TOP_COMMAND) {
        const bool on = !OnTop();
        SetWindowOnTop(MAIN_WINDOW, on);
        SaveSetting("OnTop", on ? "1" : "0");
        return;
    }
    if ((command >= SCALE_MARKS_COMMAND && command <= HOLD_OVERLOAD_COMMAND) ||
        command == DECIBEL_SCALE_COMMAND || command == LEVEL_READOUT_COMMAND) {
        ReadingAidsChoice aids = RememberedReadingAids();
        bool& flipped = command == SCALE_MARKS_COMMAND     ? aids.scaleMarks
                        : command == PEAK_HOLD_COMMAND     ? aids.peakHold
                        : command == DECIBEL_SCALE_COMMAND ? aids.decibelScale
                        : command == LEVEL_READOUT_COMMAND ? aids.levelReadout
                                                           : aids.holdOverload;
        flipped = !flipped;
        ChooseReadingAids(aids);
        return;
    }
    if (command == CLEAR_OVERLOAD_COMMAND) {
        ClearOverloadLights();
        return;
    }
    if (command == PLAYING_COMMAND) {
        choice.target = CaptureTarget::PLAYING;
    } else if (command >= FIRST_INPUT_COMMAND &&
               command - FIRST_INPUT_COMMAND < static_cast<int64_t>(shownInputs.size())) {
        choice.target = CaptureTarget::NAMED_INPUT;
        choice.input = shownInputs[static_cast<size_t>(command - FIRST_INPUT_COMMAND)];
    } else if (command != DEFAULT_INPUT_COMMAND) {
        return;
    }
    Record(choice);
    // What is playing is kept over the input, which stays for a later return.
    SaveSetting("Playing", choice.target == CaptureTarget::PLAYING ? "1" : "0");
    if (choice.target != CaptureTarget::PLAYING) SaveSetting("Input", choice.input);
}
