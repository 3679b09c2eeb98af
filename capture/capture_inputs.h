// What the user may choose to meter, and the choice itself: the platform's
// capture inputs by their full names, the sound that is playing, or the
// system's default input. Each platform's capture service implements these
// beside its device (capture_inputs_pulse.cpp with capture_pulse.cpp,
// capture_inputs_winmm.cpp, capture_inputs_null.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CaptureInputRecord {
    std::string id;          // what the settings key Input holds: the source name (Linux), the
                             // endpoint ID (Windows)
    std::string name;        // the full human name; for a monitor, the output's name
    bool ofOutput = false;   // the input records what an output plays (a monitor)
    bool isDefault = false;  // the system's default capture input now
};

enum class CaptureTarget {
    DEFAULT_INPUT,  // the system's default capture input, followed when it changes
    NAMED_INPUT,    // one input by its id; the default stands in while it is missing
    PLAYING,        // what the default output plays, followed when the default changes
};

// The inputs the sound system offers now: capture inputs first, then the
// monitors of outputs, each group in the system's order, the default input
// marked. Empty when no sound system answers within `timeoutMs`; never waits
// longer.
std::vector<CaptureInputRecord> ListCaptureInputs(int32_t timeoutMs);

// Whether CaptureTarget::PLAYING can be recorded on this platform.
bool PlayingCaptureAvailable();

// Makes an open device (recording or not yet) record from `target` from now
// on, `id` naming the input for NAMED_INPUT, and keep following it. The
// blocks go on in their order: none is lost or filled twice. False when the
// device cannot switch (an empty id for NAMED_INPUT, a target the platform
// does not offer; no device, where the platform opens none later from the
// choice); the device then records as before. The Linux and Windows
// services keep the choice whether or not a device is open, and every
// device they open later records from it; Windows keeps what is playing
// while no loopback stream opens, the default input standing in until one
// does.
bool ChooseCaptureTarget(void* device, CaptureTarget target, const std::string& id);

// What the recording does now, for the line of status text the window shows
// when it is not what the user would expect.
enum class CaptureCondition {
    RECORDING,    // recording from what was chosen (or nothing was chosen)
    STANDING_IN,  // the chosen input is missing or refused: the default input stands in
    NO_SERVER,    // no sound server answers (Linux); nothing records
    NO_DEVICE,    // the sound system has no input to record from; nothing records
};

struct CaptureStatusRecord {
    CaptureCondition condition = CaptureCondition::RECORDING;
    std::string recording;  // the human name of what records now, empty when unknown; for a
                            // monitor, the output's name, as the menu shows it
    bool ofOutput = false;  // what records now is what an output plays (a monitor)
};

// What `device` (nullptr: none open) records now. Any thread; never waits
// for the sound system: the service notes its state as it changes.
CaptureStatusRecord QueryCaptureStatus(void* device);
