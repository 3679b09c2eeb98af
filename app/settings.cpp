// Capture settings with their defaults (44100 Hz, two channels, 16-bit PCM
// from the default device, 16 blocks), taken from the settings file when it
// holds them, and the writing of a changed choice back to that file.
#include "app/settings.h"

#include <cmath>

#include "app/settings_encoding.h"
#include "app/settings_file.h"
#include "app/settings_store.h"
#include "app/settings_writer.h"
#include "capture/capture_state.h"

namespace {

// What start-up read from the settings file; empty without one.
std::string& LoadedSettings() {
    static std::string text;
    return text;
}

// Values a capture setting may take; any other gets the default.
//  Device     0 and above: 0 is the default device, n the system's device
//             n - 1; below 0 names no device.
//  Channel    1 or 2: the meter shows two channels, and a device opened
//             without conversion records mono or stereo.
//  Frequency  8000 to 192000 Hz: the PCM rates sound devices offer; up to
//             192000 Hz stereo, 31 ms of sound (23808 bytes) still fits the
//             capture work buffer, so a block keeps its intended length.
//  BufferNum  2 to MAX_BUFFER_NUM: the ring is sized from it; a single block
//             would leave the device nothing to fill while that block goes to
//             the capture thread and back, and sound would be lost each time.
//  BufferLen  1 to the work buffer's 32767 bytes: a block must fit it whole.
//             The computed block length replaces it when capture opens.
constexpr int64_t LOWEST_DEVICE = 0;
constexpr int64_t HIGHEST_DEVICE = INT32_MAX;
constexpr int64_t LOWEST_CHANNEL = 1;
constexpr int64_t HIGHEST_CHANNEL = 2;
constexpr int64_t LOWEST_FREQUENCY = 8000;
constexpr int64_t HIGHEST_FREQUENCY = 192000;
constexpr int64_t LOWEST_BUFFER_NUM = 2;
constexpr int64_t LOWEST_BUFFER_LEN = 1;

int64_t ReadSettingInRange(const char* key, int64_t defaultValue, int64_t lowest, int64_t highest) {
    int64_t value = ReadSettingInteger(key, defaultValue);
    return value >= lowest && value <= highest ? value : defaultValue;
}

}  // namespace

void LoadSettingsFile() {
    std::string bytes;
    const std::string path = SettingsFilePath();
    // One byte past the limit tells a file that is longer than it.
    if (path.empty() ||
        ReadSettingsFile(path, SETTINGS_FILE_MAX_BYTES + 1, &bytes) != SETTINGS_FILE_READ) {
        bytes.clear();
    }
    LoadSettingsText(bytes);
}

void LoadSettingsText(std::string_view bytes) {
    LoadedSettings() = DecodeSettingsFile(bytes).text;
}

int64_t ReadSettingInteger(const char* key, int64_t defaultValue) {
    if (auto value = FindSettingValue(LoadedSettings(), key)) return ParseSettingInteger(*value);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(defaultValue)));
}

std::string ReadSettingText(const char* key) {
    return UnescapeSettingValue(FindSettingValue(LoadedSettings(), key).value_or(""));
}

bool SaveSetting(const char* key, std::string_view value) {
    const std::string written = EscapeSettingValue(value);
    if (!SetSettingValue(LoadedSettings(), key, written, SettingsFileNewline())) return false;
    const std::string path = SettingsFilePath();
    if (path.empty()) return false;
    QueueSettingChange(path, key, written);
    return true;
}

bool FinishSettingsWrites(std::chrono::steady_clock::time_point deadline) {
    return FinishSettingChanges(deadline);
}

int ReadCaptureSettings() {
    CaptureState& capture = Capture();
    // An input chosen by name, or what is playing, is opened in its own way;
    // the device number does not apply then.
    const bool inputChosen =
        ReadSettingInteger("Playing", 0) == 1 || !ReadSettingText("Input").empty();
    capture.Device =
        inputChosen
            ? 0
            : static_cast<int32_t>(ReadSettingInRange("Device", 0, LOWEST_DEVICE, HIGHEST_DEVICE));
    capture.WaveFormat.nChannels =
        static_cast<uint16_t>(ReadSettingInRange("Channel", 2, LOWEST_CHANNEL, HIGHEST_CHANNEL));
    capture.WaveFormat.nSamplesPerSec = static_cast<uint32_t>(
        ReadSettingInRange("Frequency", 44100, LOWEST_FREQUENCY, HIGHEST_FREQUENCY));
    capture.WaveFormat.wBitsPerSample = 16;
    capture.BufferNum = static_cast<int32_t>(
        ReadSettingInRange("BufferNum", 16, LOWEST_BUFFER_NUM, MAX_BUFFER_NUM));
    capture.BufferLen = static_cast<int32_t>(
        ReadSettingInRange("BufferLen", 2048, LOWEST_BUFFER_LEN, CAPTURE_WORK_BUFFER_BYTES));
    return 0;
}

void RescaleChannelCount() {
    uint16_t& channels = Capture().WaveFormat.nChannels;
    double doubled = std::nearbyint(static_cast<int16_t>(channels) * 2.0);
    channels = static_cast<uint16_t>(static_cast<int64_t>(doubled));
}
