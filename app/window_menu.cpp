// The main window's menu. Its inputs are asked of the sound system each time
// it opens, so that it shows what is there now; the one remembered but
// missing is listed greyed, by the name it had when chosen ("InputName",
// kept beside its id), so the user sees what the meter waits for.
#include "app/window_menu.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/reading_aids.h"
#include "app/settings.h"
#include "capture/capture_inputs.h"
#include "capture/capture_state.h"
#include "system/utf8_text.h"
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
constexpr int64_t READ_LEVELS_COMMAND = 10;
constexpr int64_t ANNOUNCE_CLIPPING_COMMAND = 11;
constexpr int64_t FIRST_INPUT_COMMAND = 16;  // one command per input listed
// The menu opens on the main thread: a sound system that does not answer
// within this time gives a menu without inputs.
constexpr int32_t LIST_TIMEOUT_MS = 500;

// What each input command of the menu last shown chooses: the input's id,
// and the name it was shown by, which is remembered beside it.
struct ShownInputRecord {
    std::string id;
    std::string name;
};
std::vector<ShownInputRecord> shownInputs;

struct Choice {
    CaptureTarget target = CaptureTarget::DEFAULT_INPUT;
    std::string input;      // NAMED_INPUT's id
    std::string inputName;  // and the name it was shown by when chosen
};

Choice RememberedChoice() {
    if (ReadSettingInteger("Playing", 0) == 1) return {CaptureTarget::PLAYING, "", ""};
    std::string input = ReadSettingText("Input");
    if (!input.empty()) return {CaptureTarget::NAMED_INPUT, input, ReadSettingText("InputName")};
    return {};
}

// The text each input shows: its name, readable whatever its encoding; from
// the second input of one name on (two devices of one model), a number
// that tells it apart; and for an output's monitor, that it is an output.
std::vector<std::string> InputTexts(const std::vector<CaptureInputRecord>& inputs) {
    std::set<std::string> taken;
    for (const CaptureInputRecord& input : inputs) taken.insert(ReadableText(input.name));
    std::map<std::pair<bool, std::string>, int> seen;  // by kind and name
    std::vector<std::string> texts;
    for (const CaptureInputRecord& input : inputs) {
        const std::string name = ReadableText(input.name);
        std::string text = name;
        for (int number = ++seen[{input.ofOutput, name}]; number > 1 && taken.contains(text);) {
            text = name + " (" + std::to_string(number++) + ")";
        }
        taken.insert(text);
        texts.push_back(input.ofOutput ? text + " (output)" : text);
    }
    return texts;
}

bool OnTop() {
    return ReadSettingInteger("OnTop", 0) == 1;
}

// Also with no device open: where the platform keeps a choice for the
// device it opens later, that one records from it.
void Record(const Choice& choice) {
    ChooseCaptureTarget(Capture().DeviceHandle, choice.target, choice.input);
}

PopupMenuItem InputItem(const ShownInputRecord& input, const std::string& text,
                        const Choice& current, bool present) {
    shownInputs.push_back(input);
    const auto command = FIRST_INPUT_COMMAND + static_cast<int64_t>(shownInputs.size()) - 1;
    const bool chosen = current.target == CaptureTarget::NAMED_INPUT && current.input == input.id;
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
    const std::vector<std::string> texts = InputTexts(inputs);
    shownInputs.clear();
    std::string defaultText = "Default input";
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i].isDefault) {
            defaultText += " (" + texts[i] + ")";
            break;
        }
    }
    std::vector<PopupMenuItem> items;
    items.push_back(PopupMenuItem{DEFAULT_INPUT_COMMAND, defaultText,
                                  current.target == CaptureTarget::DEFAULT_INPUT, true});
    bool chosenPresent = current.target != CaptureTarget::NAMED_INPUT;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i].id == current.input) chosenPresent = true;
        if (!inputs[i].ofOutput) {
            items.push_back(InputItem({inputs[i].id, texts[i]}, texts[i], current, true));
        }
    }
    if (!chosenPresent) {
        // A file from before names were kept holds the id alone.
        const std::string& name = current.inputName.empty() ? current.input : current.inputName;
        items.push_back(InputItem({current.input, current.inputName},
                                  ReadableText(name) + " (not connected)", current, false));
    }
    items.push_back(Separator());
    items.push_back(PopupMenuItem{PLAYING_COMMAND, "What's playing",
                                  current.target == CaptureTarget::PLAYING,
                                  PlayingCaptureAvailable()});
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i].ofOutput) {
            items.push_back(InputItem({inputs[i].id, texts[i]}, texts[i], current, true));
        }
    }
    items.push_back(Separator());
    items.push_back(PopupMenuItem{ON_TOP_COMMAND, "Always on top", OnTop(), WindowOnTopOffered()});
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
    // For screen readers, as the key L in the window.
    items.push_back(PopupMenuItem{READ_LEVELS_COMMAND, "Read levels (L)", false, true});
    items.push_back(
        PopupMenuItem{ANNOUNCE_CLIPPING_COMMAND, "Announce clipping", aids.announceClipping, true});
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
        command == DECIBEL_SCALE_COMMAND || command == LEVEL_READOUT_COMMAND ||
        command == ANNOUNCE_CLIPPING_COMMAND) {
        ReadingAidsChoice aids = RememberedReadingAids();
        bool& flipped = command == SCALE_MARKS_COMMAND         ? aids.scaleMarks
                        : command == PEAK_HOLD_COMMAND         ? aids.peakHold
                        : command == DECIBEL_SCALE_COMMAND     ? aids.decibelScale
                        : command == LEVEL_READOUT_COMMAND     ? aids.levelReadout
                        : command == ANNOUNCE_CLIPPING_COMMAND ? aids.announceClipping
                                                               : aids.holdOverload;
        flipped = !flipped;
        ChooseReadingAids(aids);
        return;
    }
    if (command == READ_LEVELS_COMMAND) {
        SayMainWindowLevels();
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
        const ShownInputRecord& shown =
            shownInputs[static_cast<size_t>(command - FIRST_INPUT_COMMAND)];
        choice.target = CaptureTarget::NAMED_INPUT;
        choice.input = shown.id;
        choice.inputName = shown.name;
    } else if (command != DEFAULT_INPUT_COMMAND) {
        return;
    }
    Record(choice);
    // What is playing is kept over the input, which stays for a later return.
    SaveSetting("Playing", choice.target == CaptureTarget::PLAYING ? "1" : "0");
    if (choice.target != CaptureTarget::PLAYING) {
        SaveSetting("Input", choice.input);
        SaveSetting("InputName", choice.inputName);
    }
}
