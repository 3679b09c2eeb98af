// Headless inputs (see capture_inputs_null.h). A choice is taken for the
// open headless device only, as a real service takes it for its own
// devices; a chosen input that is not listed is taken too, as a real
// service records the default until such an input appears.
#include "capture/capture_inputs_null.h"

#include <mutex>

#include "capture/capture_null.h"

namespace {

std::mutex lock;
std::vector<CaptureInputRecord> listed;
bool playing = false;
CaptureTarget target = CaptureTarget::DEFAULT_INPUT;
std::string targetId;
CaptureStatusRecord status;

}  // namespace

void SetNullCaptureInputs(const std::vector<CaptureInputRecord>& inputs, bool playingAvailable) {
    std::lock_guard<std::mutex> hold(lock);
    listed = inputs;
    playing = playingAvailable;
    target = CaptureTarget::DEFAULT_INPUT;
    targetId.clear();
}

CaptureTarget NullCaptureTarget() {
    std::lock_guard<std::mutex> hold(lock);
    return target;
}

std::string NullCaptureTargetId() {
    std::lock_guard<std::mutex> hold(lock);
    return targetId;
}

std::vector<CaptureInputRecord> ListCaptureInputs(int32_t) {
    std::lock_guard<std::mutex> hold(lock);
    return listed;
}

bool PlayingCaptureAvailable() {
    std::lock_guard<std::mutex> hold(lock);
    return playing;
}

bool ChooseCaptureTarget(void* device, CaptureTarget chosen, const std::string& id) {
    if (device == nullptr || device != NullCaptureHandle()) return false;
    if (chosen == CaptureTarget::NAMED_INPUT && id.empty()) return false;
    std::lock_guard<std::mutex> hold(lock);
    if (chosen == CaptureTarget::PLAYING && !playing) return false;
    target = chosen;
    targetId = chosen == CaptureTarget::NAMED_INPUT ? id : std::string();
    return true;
}

void SetNullCaptureStatus(const CaptureStatusRecord& answer) {
    std::lock_guard<std::mutex> hold(lock);
    status = answer;
}

CaptureStatusRecord QueryCaptureStatus(void*) {
    std::lock_guard<std::mutex> hold(lock);
    return status;
}
