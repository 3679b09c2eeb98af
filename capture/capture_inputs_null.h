// The headless inputs: a list that tests set, and the target last chosen on
// the open headless device, for tests of what lists and chooses inputs.
#pragma once

#include <string>
#include <vector>

#include "capture/capture_inputs.h"

// What ListCaptureInputs returns from now on, and whether PLAYING is
// offered; the choice goes back to the default input.
void SetNullCaptureInputs(const std::vector<CaptureInputRecord>& inputs, bool playingAvailable);

// What QueryCaptureStatus answers from now on (recording, until set).
void SetNullCaptureStatus(const CaptureStatusRecord& status);

// The target last chosen, and its id (empty but for NAMED_INPUT).
CaptureTarget NullCaptureTarget();
std::string NullCaptureTargetId();
