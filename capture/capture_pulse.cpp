// The capture service on Linux, over PulseAudio's client API (PipeWire's
// pulse service speaks it too). It keeps wave-in's contract: headers queued
// with AddCaptureBlock are filled in queue order, each finished one gets
// dwBytesRecorded and WHDR_DONE and is announced to the callback window as
// MM_WIM_DATA (wParam = device, lParam = header), posted to the window's
// thread so that it passes the window layer's message hook like the driver's
// message on Windows. Sound that arrives while no block is queued is lost,
// as with wave-in.
//
// The asynchronous API is used with a main loop of our own: opening waits
// for the server with a deadline, so a missing or silent server makes
// OpenCaptureDevice fail quickly instead of hanging start-up, and the
// service thread sleeps in the loop's poll until the server sends sound or
// StopCaptureDevice wakes it. The server hands sound over a block at a time,
// so the thread wakes once per block.
//
// A sound server comes and goes (a crash, a restart, a log-out of another
// session): when the connection fails, the thread drops it and connects
// again after 250 ms, 500 ms and then every second, on the same loop and
// thread, until the server answers or the device is stopped. The
// queued blocks stay queued meanwhile. The default device follows the
// server's default source when the user changes it.
//
// The user may choose another target (capture_inputs.h): the stream is then
// moved to it on the server, which keeps the blocks going on in their order,
// and kept there as the server's sources and defaults change.
#include <pulse/pulseaudio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_device.h"
#include "capture/capture_inputs.h"
#include "capture/main_loop_pulse.h"
#include "ui/message_loop.h"
#include "ui/messages.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto OPEN_DEADLINE = std::chrono::milliseconds(3000);
constexpr auto CONNECT_DEADLINE = std::chrono::milliseconds(3000);  // one reconnection attempt
constexpr auto FIRST_RETRY = std::chrono::milliseconds(250);
constexpr auto LONGEST_RETRY = std::chrono::milliseconds(1000);
// Until recording starts and the block length is known.
constexpr pa_usec_t FIRST_FRAGMENT_USEC = 10000;
// After the default source changed, time for the server to move the stream.
constexpr pa_usec_t FOLLOW_DELAY_USEC = 500000;
// How often a chosen target is looked at again, FOLLOW_DELAY_USEC apart,
// after a choice or a change on the server: PipeWire's session manager now
// and then ignores a move made soon after a change of a default (see
// OnFollowTimer).
constexpr int FOLLOW_CHECKS = 4;

// The user's choice outlives any one device: made while none is open (no
// server yet, no source yet at login), it is taken by every device opened
// later, as the choice of an open device is.
struct ServiceChoiceState {
    std::mutex lock;
    CaptureTarget target = CaptureTarget::DEFAULT_INPUT;
    std::string id;  // NAMED_INPUT's source
    CaptureStatusRecord status;
};

ServiceChoiceState& ServiceChoice() {
    static auto* state = new ServiceChoiceState;  // never destroyed: threads may ask at exit
    return *state;
}

void NoteStatus(CaptureCondition condition, const std::string& recording, bool ofOutput = false) {
    ServiceChoiceState& choice = ServiceChoice();
    std::lock_guard<std::mutex> hold(choice.lock);
    choice.status.condition = condition;
    choice.status.recording = recording;
    choice.status.ofOutput = ofOutput;
}

struct PulseCapture {
    // The loop and what lives on it belong to the opening thread until
    // StartCaptureDevice, then to the service thread alone.
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;  // nullptr while there is no server
    pa_stream* stream = nullptr;
    pa_io_event* wakeEvent = nullptr;
    int wakeDescriptor = -1;  // readable once StopCaptureDevice was called
    pa_sample_spec sampleSpec = {};
    uint32_t deviceId = DEFAULT_CAPTURE_DEVICE;
    uint32_t fragmentBytes = 0;            // how much sound the server hands over at a time
    std::string defaultSource;             // the server's default source when last asked
    pa_time_event* followTimer = nullptr;  // looks where the stream is after a change
    std::string sourceAtChange;            // where the stream was when the default changed
    int changeLooksLeft = 0;               // looks that may still move it from there
    int looksLeft = 0;                     // looks after any change on the server
    void* callbackWindow = nullptr;
    CaptureTarget target = CaptureTarget::DEFAULT_INPUT;  // what the stream records from
    std::string targetId;                                 // the chosen source of NAMED_INPUT
    std::string openedSource;                             // the numbered device's source
    std::string fallbackSource;            // the default source, while the chosen one is missing
    std::string wantedSource;              // where the stream is being moved
    pa_time_event* targetTimer = nullptr;  // looks where the target is after a change
    bool reconnect = false;                // the server refused a move: make the stream again
    int checksLeft = 0;                    // looks again (FOLLOW_CHECKS)

    std::mutex lock;                // guards everything below
    std::condition_variable retry;  // the back-off wait, cut short by a stop
    std::deque<WaveHeader*> queue;  // blocks waiting to be filled, the head first
    uint32_t filled = 0;            // bytes already in the head block
    bool started = false;
    bool stopping = false;       // StopCaptureDevice was called
    bool choicePending = false;  // ChooseCaptureTarget was called; the loop takes it over
    CaptureTarget chosenTarget = CaptureTarget::DEFAULT_INPUT;
    std::string chosenId;
    std::thread service;
};

bool Stopping(PulseCapture& device) {
    std::lock_guard<std::mutex> hold(device.lock);
    return device.stopping;
}

bool WaitForContext(PulseCapture& device, Clock::time_point deadline) {
    for (;;) {
        pa_context_state_t state = pa_context_get_state(device.context);
        if (state == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(state) || Stopping(device)) return false;
        if (!IterateUntil(device.loop, deadline)) return false;
    }
}

bool WaitForStream(PulseCapture& device, Clock::time_point deadline) {
    for (;;) {
        pa_stream_state_t state = pa_stream_get_state(device.stream);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state) || Stopping(device)) return false;
        if (!IterateUntil(device.loop, deadline)) return false;
    }
}

// Device n of wave-in is the n-th capture source; monitors of outputs are
// not capture devices.
struct SourceSearch {
    uint32_t wanted = 0;
    uint32_t seen = 0;
    std::string name;
    bool done = false;
};

void CollectSource(pa_context*, const pa_source_info* info, int last, void* data) {
    auto* search = static_cast<SourceSearch*>(data);
    if (last) {
        search->done = true;
        return;
    }
    if (info == nullptr || info->monitor_of_sink != PA_INVALID_INDEX) return;
    if (search->seen++ == search->wanted && info->name != nullptr) search->name = info->name;
}

bool FindSourceName(PulseCapture& device, Clock::time_point deadline, std::string* name) {
    SourceSearch search;
    search.wanted = device.deviceId;
    pa_operation* operation =
        pa_context_get_source_info_list(device.context, CollectSource, &search);
    if (operation == nullptr) return false;
    while (!search.done && !Stopping(device) && IterateUntil(device.loop, deadline)) {
    }
    // Cancelling keeps the callback from reaching `search` once it is gone.
    if (!search.done) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    *name = search.name;
    return search.done && !name->empty();
}

// One name asked of the server while connecting.
struct NameQuery {
    std::string name;  // empty: the server knows none
    bool done = false;
};

void OnSourceName(pa_context*, const pa_source_info* info, int last, void* data) {
    auto* query = static_cast<NameQuery*>(data);
    if (last != 0) {
        query->done = true;
    } else if (info != nullptr && info->name != nullptr) {
        query->name = info->name;
    }
}

void OnDefaultSinkName(pa_context*, const pa_server_info* info, void* data) {
    auto* query = static_cast<NameQuery*>(data);
    if (info != nullptr && info->default_sink_name != nullptr) {
        query->name = info->default_sink_name;
    }
    query->done = true;
}

void OnMonitorName(pa_context*, const pa_sink_info* info, int last, void* data) {
    auto* query = static_cast<NameQuery*>(data);
    if (last != 0) {
        query->done = true;
    } else if (info != nullptr && info->monitor_source_name != nullptr) {
        query->name = info->monitor_source_name;
    }
}

bool AwaitName(PulseCapture& device, pa_operation* operation, const NameQuery& query,
               Clock::time_point deadline) {
    if (operation == nullptr) return false;
    while (!query.done && !Stopping(device) && IterateUntil(device.loop, deadline)) {
    }
    // Cancelling keeps the callback from reaching `query` once it is gone.
    if (!query.done) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return query.done;
}

// The source a new stream is made on for the current target; empty for the
// server's default source, which also stands in for a chosen source that is
// missing and for a missing default output. False when the server did not
// answer in time, or the numbered device has no source.
bool TargetSource(PulseCapture& device, Clock::time_point deadline, std::string* source) {
    source->clear();
    switch (device.target) {
        case CaptureTarget::DEFAULT_INPUT:
            if (device.deviceId == DEFAULT_CAPTURE_DEVICE) return true;
            if (!FindSourceName(device, deadline, source)) return false;
            device.openedSource = *source;
            return true;
        case CaptureTarget::NAMED_INPUT: {
            NameQuery chosen;
            if (!AwaitName(device,
                           pa_context_get_source_info_by_name(
                               device.context, device.targetId.c_str(), OnSourceName, &chosen),
                           chosen, deadline)) {
                return false;
            }
            *source = chosen.name;
            return true;
        }
        case CaptureTarget::PLAYING: {
            NameQuery sink;
            if (!AwaitName(device,
                           pa_context_get_server_info(device.context, OnDefaultSinkName, &sink),
                           sink, deadline)) {
                return false;
            }
            if (sink.name.empty()) return true;
            NameQuery monitor;
            if (!AwaitName(device,
                           pa_context_get_sink_info_by_name(device.context, sink.name.c_str(),
                                                            OnMonitorName, &monitor),
                           monitor, deadline)) {
                return false;
            }
            *source = monitor.name;
            return true;
        }
    }
    return false;
}

bool SampleFormatFor(uint16_t bits, pa_sample_format_t* format) {
    switch (bits) {
        case 8:
            *format = PA_SAMPLE_U8;
            return true;
        case 16:
            *format = PA_SAMPLE_S16LE;
            return true;
        case 24:
            *format = PA_SAMPLE_S24LE;
            return true;
        case 32:
            *format = PA_SAMPLE_S32LE;
            return true;
        default:
            return false;
    }
}

// A finished block may wait for the main loop's next timer tick (10 ms at
// most): the analysis reads it only on a tick anyway.
void Announce(PulseCapture& device, const std::vector<WaveHeader*>& finished) {
    for (WaveHeader* header : finished) {
        PostWindowMessageByNextTick(device.callbackWindow, MESSAGE_CAPTURE_DATA,
                                    static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&device)),
                                    static_cast<int64_t>(reinterpret_cast<intptr_t>(header)));
    }
}

// Marks the head block finished with what it holds. Called under the lock.
void FinishHead(PulseCapture& device, std::vector<WaveHeader*>& finished) {
    WaveHeader* header = device.queue.front();
    device.queue.pop_front();
    header->dwBytesRecorded = device.filled;
    header->dwFlags = (header->dwFlags & ~BLOCK_QUEUED) | BLOCK_DONE;
    device.filled = 0;
    finished.push_back(header);
}

// Copies sound into the queued blocks in order (nullptr data: a gap in the
// stream, recorded as silence).
void Deliver(PulseCapture& device, const uint8_t* data, size_t length,
             std::vector<WaveHeader*>& finished) {
    std::lock_guard<std::mutex> hold(device.lock);
    if (device.stopping) return;
    while (length > 0 && !device.queue.empty()) {
        WaveHeader* header = device.queue.front();
        uint32_t room = header->dwBufferLength - device.filled;
        auto take = static_cast<uint32_t>(std::min<size_t>(room, length));
        if (data != nullptr) {
            std::memcpy(header->lpData + device.filled, data, take);
            data += take;
        } else {
            std::memset(header->lpData + device.filled, 0, take);
        }
        device.filled += take;
        length -= take;
        if (device.filled == header->dwBufferLength) FinishHead(device, finished);
    }
}

void OnRead(pa_stream* stream, size_t, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    std::vector<WaveHeader*> finished;
    const void* bytes = nullptr;
    size_t length = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &bytes, &length) < 0 || length == 0) break;
        Deliver(device, static_cast<const uint8_t*>(bytes), length, finished);
        pa_stream_drop(stream);
    }
    Announce(device, finished);
}

bool StreamReady(PulseCapture& device) {
    return device.stream != nullptr && pa_stream_get_state(device.stream) == PA_STREAM_READY;
}

// The default device records from the server's default source, where the
// server puts a stream that names no source. When the user picks another
// default, some servers move such streams along and others leave them where
// they are. The stream is looked at a moment after the change, when a
// server that moves streams has done so, and moved only if it is still
// elsewhere: moving it at once as well would race the server's own move.
// PipeWire's session manager now and then ignores a move made soon after a
// change of a default, and its pulse service now and then answers the first
// question after a change with the old default: so every change on the
// server is followed by FOLLOW_CHECKS looks, each asking the default and the
// stream's place afresh. Only a change of the default moves the stream, and
// only from where it was at the change, for the looks that follow that
// change: one that the user moved by hand, before a look or after it, stays
// where it was put (some servers report a change of the server for every
// move) until the default changes again.
void FollowDefaultSource(PulseCapture& device);
void FollowDefaultSoon(PulseCapture& device);

void OnFollowedSource(pa_context* context, const pa_source_info* info, int, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || info->name == nullptr || context != device.context ||
        !StreamReady(device) || device.target != CaptureTarget::DEFAULT_INPUT) {
        return;
    }
    if (device.defaultSource == info->name) {
        device.sourceAtChange.clear();
        device.changeLooksLeft = 0;
    }
    if (device.sourceAtChange.empty() || device.sourceAtChange != info->name) return;
    pa_operation* operation =
        pa_context_move_source_output_by_name(context, pa_stream_get_index(device.stream),
                                              device.defaultSource.c_str(), nullptr, nullptr);
    if (operation != nullptr) pa_operation_unref(operation);
}

void OnFollowedPlace(pa_context* context, const pa_source_output_info* info, int, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || context != device.context) return;
    pa_operation* operation =
        pa_context_get_source_info_by_index(context, info->source, OnFollowedSource, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

void OnFollowTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    api->time_free(event);
    device.followTimer = nullptr;
    if (device.target != CaptureTarget::DEFAULT_INPUT || !StreamReady(device)) return;
    // Answered in order: the default first, then where the stream is.
    FollowDefaultSource(device);
    pa_operation* operation = pa_context_get_source_output_info(
        device.context, pa_stream_get_index(device.stream), OnFollowedPlace, &device);
    if (operation != nullptr) pa_operation_unref(operation);
    // The change's last look has been taken: a later look only notes.
    if (device.changeLooksLeft == 0) {
        device.sourceAtChange.clear();
    } else {
        --device.changeLooksLeft;
    }
    if (device.looksLeft > 0) {
        --device.looksLeft;
        FollowDefaultSoon(device);
    }
}

void FollowDefaultSoon(PulseCapture& device) {
    if (device.followTimer != nullptr) return;
    device.followTimer = pa_context_rttime_new(device.context, pa_rtclock_now() + FOLLOW_DELAY_USEC,
                                               OnFollowTimer, &device);
}

void OnServerInfo(pa_context* context, const pa_server_info* info, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || info->default_source_name == nullptr || context != device.context) {
        return;
    }
    bool changed =
        !device.defaultSource.empty() && device.defaultSource != info->default_source_name;
    device.defaultSource = info->default_source_name;
    if (!changed) return;
    const char* current = StreamReady(device) ? pa_stream_get_device_name(device.stream) : nullptr;
    device.sourceAtChange = current != nullptr ? current : "";
    device.changeLooksLeft = FOLLOW_CHECKS;
    device.looksLeft = std::max(device.looksLeft, FOLLOW_CHECKS);
    FollowDefaultSoon(device);
}

void FollowDefaultSource(PulseCapture& device) {
    pa_operation* operation = pa_context_get_server_info(device.context, OnServerInfo, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

// Whether the stream records what was chosen, from the source it records.
bool ChosenRecorded(const PulseCapture& device, const char* source, bool monitor) {
    if (device.target == CaptureTarget::NAMED_INPUT) return device.targetId == source;
    if (device.target == CaptureTarget::PLAYING) return monitor;
    return true;
}

// A monitor records what its output plays: it is told by the output's name,
// as the menu lists it. An answer is taken only while the stream still
// records that output's monitor, so an answer that a move overtook is not
// said over the newer one.
void OnRecordedSink(pa_context* context, const pa_sink_info* info, int, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || info->name == nullptr || context != device.context) return;
    if (!StreamReady(device) || pa_stream_get_device_index(device.stream) != info->monitor_source) {
        return;
    }
    const char* source = info->monitor_source_name != nullptr ? info->monitor_source_name : "";
    NoteStatus(ChosenRecorded(device, source, true) ? CaptureCondition::RECORDING
                                                    : CaptureCondition::STANDING_IN,
               info->description != nullptr ? info->description : info->name, true);
}

// What the stream records now, for QueryCaptureStatus: asked of the server
// once the stream is made, after each move and after each new choice.
void OnRecordedSource(pa_context* context, const pa_source_info* info, int, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || info->name == nullptr || context != device.context) return;
    const bool monitor = info->monitor_of_sink != PA_INVALID_INDEX;
    NoteStatus(ChosenRecorded(device, info->name, monitor) ? CaptureCondition::RECORDING
                                                           : CaptureCondition::STANDING_IN,
               info->description != nullptr ? info->description : info->name, monitor);
    if (!monitor) return;
    pa_operation* operation =
        pa_context_get_sink_info_by_index(context, info->monitor_of_sink, OnRecordedSink, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

void NoteRecordedSource(PulseCapture& device) {
    if (!StreamReady(device)) return;
    pa_operation* operation = pa_context_get_source_info_by_index(
        device.context, pa_stream_get_device_index(device.stream), OnRecordedSource, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

void OnStreamMoved(pa_stream*, void* data) {
    NoteRecordedSource(*static_cast<PulseCapture*>(data));
}

// Nothing records: said as no server unless one answered.
void NoteNothingRecords(PulseCapture& device) {
    const bool answered =
        device.context != nullptr && pa_context_get_state(device.context) == PA_CONTEXT_READY;
    NoteStatus(answered ? CaptureCondition::NO_DEVICE : CaptureCondition::NO_SERVER, "");
}

// A chosen target: the stream is moved to the source that the target names
// now, unless it is there already. Every step asks the server afresh, so a
// late answer to an earlier question does no harm.
void OnMoved(pa_context* context, int success, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (!success && context == device.context) device.reconnect = true;
}

void OnStreamSource(pa_context* context, const pa_source_info* info, int, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || info->name == nullptr || context != device.context ||
        !StreamReady(device) || device.wantedSource == info->name) {
        return;
    }
    pa_operation* operation = pa_context_move_source_output_by_name(
        context, pa_stream_get_index(device.stream), device.wantedSource.c_str(), OnMoved, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

void OnStreamPlace(pa_context* context, const pa_source_output_info* info, int, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || context != device.context) return;
    pa_operation* operation =
        pa_context_get_source_info_by_index(context, info->source, OnStreamSource, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

// Where the stream is is asked of the server each time, rather than taken
// from the stream's last notice, so that a move that did not happen is made
// again.
void MoveStream(PulseCapture& device, const std::string& source) {
    if (source.empty() || !StreamReady(device)) return;
    device.wantedSource = source;
    pa_operation* operation = pa_context_get_source_output_info(
        device.context, pa_stream_get_index(device.stream), OnStreamPlace, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

// Answered once with the source, or with last < 0 when there is none of that
// name.
void OnChosenSource(pa_context* context, const pa_source_info* info, int last, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (context != device.context || device.target != CaptureTarget::NAMED_INPUT) return;
    if (info != nullptr && info->name != nullptr && device.targetId == info->name) {
        MoveStream(device, device.targetId);
    } else if (info == nullptr && last < 0) {
        MoveStream(device, device.fallbackSource);
    }
}

void OnPlayingSink(pa_context* context, const pa_sink_info* info, int, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (context != device.context || device.target != CaptureTarget::PLAYING) return;
    if (info != nullptr && info->monitor_source_name != nullptr) {
        MoveStream(device, info->monitor_source_name);
    }
}

void OnTargetServerInfo(pa_context* context, const pa_server_info* info, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    if (info == nullptr || context != device.context) return;
    pa_operation* operation = nullptr;
    switch (device.target) {
        case CaptureTarget::DEFAULT_INPUT:
            if (device.deviceId != DEFAULT_CAPTURE_DEVICE) {
                MoveStream(device, device.openedSource);
            } else if (info->default_source_name != nullptr) {
                MoveStream(device, info->default_source_name);
            }
            break;
        case CaptureTarget::NAMED_INPUT:
            device.fallbackSource =
                info->default_source_name != nullptr ? info->default_source_name : "";
            operation = pa_context_get_source_info_by_name(context, device.targetId.c_str(),
                                                           OnChosenSource, &device);
            break;
        case CaptureTarget::PLAYING:
            if (info->default_sink_name != nullptr) {
                operation = pa_context_get_sink_info_by_name(context, info->default_sink_name,
                                                             OnPlayingSink, &device);
            }
            break;
    }
    if (operation != nullptr) pa_operation_unref(operation);
}

void FollowTarget(PulseCapture& device) {
    if (device.context == nullptr || pa_context_get_state(device.context) != PA_CONTEXT_READY) {
        return;
    }
    pa_operation* operation =
        pa_context_get_server_info(device.context, OnTargetServerInfo, &device);
    if (operation != nullptr) pa_operation_unref(operation);
}

void FollowTargetSoon(PulseCapture& device);

void OnTargetTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    api->time_free(event);
    device.targetTimer = nullptr;
    FollowTarget(device);
    if (device.checksLeft > 0) {
        --device.checksLeft;
        FollowTargetSoon(device);
    }
}

// After a change on the server the stream is looked at a moment later, as
// the default device's is (see OnFollowTimer): a server that moves streams
// itself (back to a source that returned, away from one that went) has done
// so by then.
void FollowTargetSoon(PulseCapture& device) {
    if (device.target == CaptureTarget::DEFAULT_INPUT || device.targetTimer != nullptr) return;
    device.targetTimer = pa_context_rttime_new(device.context, pa_rtclock_now() + FOLLOW_DELAY_USEC,
                                               OnTargetTimer, &device);
}

void OnServerEvent(pa_context*, pa_subscription_event_type_t event, uint32_t, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    auto facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    auto type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
        if (device.deviceId == DEFAULT_CAPTURE_DEVICE) {
            FollowDefaultSource(device);
            device.looksLeft = FOLLOW_CHECKS;
            FollowDefaultSoon(device);
        }
        device.checksLeft = FOLLOW_CHECKS;
        FollowTargetSoon(device);
    } else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && type != PA_SUBSCRIPTION_EVENT_CHANGE) {
        device.checksLeft = FOLLOW_CHECKS;
        FollowTargetSoon(device);
    }
}

// A choice wakes the loop through the same descriptor as a stop. A choice's
// wake-up is taken back; a stop's stays, so that every later poll returns
// at once.
void OnWake(pa_mainloop_api*, pa_io_event*, int descriptor, pa_io_event_flags_t, void* data) {
    auto& device = *static_cast<PulseCapture*>(data);
    std::lock_guard<std::mutex> hold(device.lock);
    uint64_t count = 0;
    if (!device.stopping && read(descriptor, &count, sizeof count) < 0) {
        // Nothing to take back: another turn took it.
    }
}

// Hands a new choice to the loop's own fields; true if there was one.
bool TakeChoice(PulseCapture& device) {
    std::lock_guard<std::mutex> hold(device.lock);
    if (!device.choicePending) return false;
    device.choicePending = false;
    device.target = device.chosenTarget;
    device.targetId = device.chosenId;
    return true;
}

void DropConnection(PulseCapture& device) {
    for (pa_time_event** timer : {&device.followTimer, &device.targetTimer}) {
        if (*timer == nullptr) continue;
        pa_mainloop_get_api(device.loop)->time_free(*timer);
        *timer = nullptr;
    }
    device.reconnect = false;
    if (device.stream != nullptr) {
        pa_stream_set_read_callback(device.stream, nullptr, nullptr);
        pa_stream_set_moved_callback(device.stream, nullptr, nullptr);
        pa_stream_disconnect(device.stream);
        pa_stream_unref(device.stream);
        device.stream = nullptr;
    }
    if (device.context != nullptr) {
        pa_context_set_subscribe_callback(device.context, nullptr, nullptr);
        pa_context_disconnect(device.context);
        pa_context_unref(device.context);
        device.context = nullptr;
    }
}

// The sound already in the head block is from before an outage; the block
// is filled afresh once the server is back, so that it holds one stretch.
void ForgetPartialBlock(PulseCapture& device) {
    std::lock_guard<std::mutex> hold(device.lock);
    device.filled = 0;
}

void FreeLoop(PulseCapture& device) {
    if (device.wakeEvent != nullptr) {
        pa_mainloop_get_api(device.loop)->io_free(device.wakeEvent);
        device.wakeEvent = nullptr;
    }
    if (device.loop != nullptr) {
        pa_mainloop_free(device.loop);
        device.loop = nullptr;
    }
    if (device.wakeDescriptor >= 0) {
        close(device.wakeDescriptor);
        device.wakeDescriptor = -1;
    }
}

// Connects to the server and opens the record stream, recording at once or
// corked. On failure the caller drops what was made.
bool Connect(PulseCapture& device, Clock::time_point deadline, bool recording) {
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Vellumtone");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "vellumtone");
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "production");
    device.context =
        pa_context_new_with_proplist(pa_mainloop_get_api(device.loop), "Vellumtone", properties);
    pa_proplist_free(properties);
    if (device.context == nullptr ||
        pa_context_connect(device.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !WaitForContext(device, deadline)) {
        return false;
    }

    // Changes of the defaults, and sources that come and go, for the targets
    // that follow them.
    pa_context_set_subscribe_callback(device.context, OnServerEvent, &device);
    pa_operation* operation =
        pa_context_subscribe(device.context,
                             static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER |
                                                                 PA_SUBSCRIPTION_MASK_SOURCE),
                             nullptr, nullptr);
    if (operation != nullptr) pa_operation_unref(operation);
    std::string source;
    if (!TargetSource(device, deadline, &source)) return false;

    device.stream = pa_stream_new(device.context, "Level meter", &device.sampleSpec, nullptr);
    if (device.stream == nullptr) return false;
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = device.fragmentBytes;
    pa_stream_set_read_callback(device.stream, OnRead, &device);
    pa_stream_set_moved_callback(device.stream, OnStreamMoved, &device);
    // Like waveInOpen, opening does not record yet: the stream starts
    // corked. One made again after an outage records at once.
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                (recording ? 0 : PA_STREAM_START_CORKED));
    if (pa_stream_connect_record(device.stream, source.empty() ? nullptr : source.c_str(),
                                 &attributes, flags) < 0 ||
        !WaitForStream(device, deadline)) {
        return false;
    }
    // Note the default the stream was put on; later changes move it.
    device.defaultSource.clear();
    device.changeLooksLeft = 0;
    device.looksLeft = 0;
    if (device.deviceId == DEFAULT_CAPTURE_DEVICE) FollowDefaultSource(device);
    NoteRecordedSource(device);
    return true;
}

bool Healthy(PulseCapture& device) {
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(device.context)) &&
           PA_STREAM_IS_GOOD(pa_stream_get_state(device.stream));
}

// Waits before the next connection attempt; false when stopped meanwhile.
bool WaitToRetry(PulseCapture& device, std::chrono::milliseconds delay) {
    std::unique_lock<std::mutex> hold(device.lock);
    return !device.retry.wait_for(hold, delay, [&device] { return device.stopping; });
}

void ServiceThread(PulseCapture* device) {
    auto delay = FIRST_RETRY;
    Clock::time_point connected = Clock::now();
    while (!Stopping(*device)) {
        bool chosen = TakeChoice(*device);
        if (device->context != nullptr) {
            if (chosen) {
                device->checksLeft = FOLLOW_CHECKS;
                FollowTarget(*device);
                FollowTargetSoon(*device);
                NoteRecordedSource(*device);
            }
            // Sleeps in poll until the server sends something, a choice or
            // Stop wakes it. The connection is looked at first: one lost
            // before the thread began would otherwise leave it sleeping for
            // good.
            if (Healthy(*device) && !device->reconnect &&
                pa_mainloop_iterate(device->loop, 1, nullptr) >= 0) {
                continue;
            }
            if (device->reconnect) {
                // The server refused to move the stream: a new one is made on
                // the target at once.
                DropConnection(*device);
                ForgetPartialBlock(*device);
                continue;
            }
            // The server went away or dropped the stream. A connection that
            // held starts the back-off afresh; one that fails as soon as it
            // is made (a server that refuses the stream) keeps it growing.
            NoteNothingRecords(*device);
            DropConnection(*device);
            ForgetPartialBlock(*device);
            if (Clock::now() - connected >= LONGEST_RETRY) delay = FIRST_RETRY;
        } else if (Connect(*device, Clock::now() + CONNECT_DEADLINE, true)) {
            connected = Clock::now();
            continue;
        } else {
            NoteNothingRecords(*device);
            DropConnection(*device);
        }
        if (!WaitToRetry(*device, delay)) break;
        delay = std::min(delay * 2, LONGEST_RETRY);
    }
}

}  // namespace

void* OpenCaptureDevice(uint32_t deviceId, const WaveFormatRecord& format, void* callbackWindow) {
    pa_sample_spec sampleSpec;
    if (format.wFormatTag != PCM_FORMAT_TAG ||
        !SampleFormatFor(format.wBitsPerSample, &sampleSpec.format)) {
        return nullptr;
    }
    sampleSpec.rate = format.nSamplesPerSec;
    sampleSpec.channels =
        static_cast<uint8_t>(std::min<uint16_t>(format.nChannels, PA_CHANNELS_MAX));
    if (format.nChannels > PA_CHANNELS_MAX || !pa_sample_spec_valid(&sampleSpec)) return nullptr;

    auto* device = new PulseCapture();
    device->callbackWindow = callbackWindow;
    device->deviceId = deviceId;
    device->sampleSpec = sampleSpec;
    device->fragmentBytes =
        static_cast<uint32_t>(pa_usec_to_bytes(FIRST_FRAGMENT_USEC, &device->sampleSpec));
    {
        ServiceChoiceState& choice = ServiceChoice();
        std::lock_guard<std::mutex> hold(choice.lock);
        device->target = choice.target;
        device->targetId = choice.id;
    }
    device->loop = pa_mainloop_new();
    device->wakeDescriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    bool ok = device->loop != nullptr && device->wakeDescriptor >= 0;
    if (ok) {
        pa_mainloop_api* api = pa_mainloop_get_api(device->loop);
        device->wakeEvent =
            api->io_new(api, device->wakeDescriptor, PA_IO_EVENT_INPUT, OnWake, device);
        ok = device->wakeEvent != nullptr;
    }
    if (ok && !Connect(*device, Clock::now() + OPEN_DEADLINE, false)) {
        // No server yet (a meter started before the sound server, at login):
        // the device opens all the same, and once started its service
        // connects as soon as a server answers, as after an outage. A server
        // that answered and has no source for the device opens nothing.
        ok =
            device->context == nullptr || pa_context_get_state(device->context) != PA_CONTEXT_READY;
        NoteNothingRecords(*device);
        DropConnection(*device);
    }
    if (!ok) {
        DropConnection(*device);
        FreeLoop(*device);
        delete device;
        return nullptr;
    }
    return device;
}

bool PrepareCaptureBlock(void* handle, WaveHeader* header) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr || header == nullptr || header->lpData == nullptr ||
        header->dwBufferLength == 0) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(device->lock);
        header->dwFlags |= BLOCK_PREPARED;
    }
    return AddCaptureBlock(handle, header);
}

bool AddCaptureBlock(void* handle, WaveHeader* header) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr || header == nullptr) return false;
    std::lock_guard<std::mutex> hold(device->lock);
    // As waveInAddBuffer: an unprepared header, or one still queued, is
    // refused; after a stop the device takes no block.
    if ((header->dwFlags & BLOCK_PREPARED) == 0 || (header->dwFlags & BLOCK_QUEUED) != 0 ||
        device->stopping || header->lpData == nullptr || header->dwBufferLength == 0) {
        return false;
    }
    header->dwFlags = (header->dwFlags & ~BLOCK_DONE) | BLOCK_QUEUED;
    header->dwBytesRecorded = 0;
    device->queue.push_back(header);
    return true;
}

bool StartCaptureDevice(void* handle) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr) return false;
    std::lock_guard<std::mutex> hold(device->lock);
    if (device->stopping) return false;
    if (device->started) return true;
    // The server hands sound over a block at a time: one wake-up per block
    // instead of one every few milliseconds.
    if (!device->queue.empty()) device->fragmentBytes = device->queue.front()->dwBufferLength;
    // A target chosen before recording: the stream, opened on the default,
    // is made again on the target by the service, so that not one block
    // holds sound from the default.
    if (device->choicePending) {
        device->choicePending = false;
        device->target = device->chosenTarget;
        device->targetId = device->chosenId;
        if (device->target != CaptureTarget::DEFAULT_INPUT) DropConnection(*device);
    }
    // The loop is not running on any thread yet, so it may be used here. A
    // stream lost since the opening is made again, recording, by the service.
    if (device->stream != nullptr && pa_stream_get_state(device->stream) == PA_STREAM_READY) {
        pa_buffer_attr attributes = *pa_stream_get_buffer_attr(device->stream);
        attributes.fragsize = device->fragmentBytes;
        pa_operation* operation =
            pa_stream_set_buffer_attr(device->stream, &attributes, nullptr, nullptr);
        if (operation != nullptr) pa_operation_unref(operation);
        operation = pa_stream_cork(device->stream, 0, nullptr, nullptr);
        if (operation != nullptr) pa_operation_unref(operation);
    }
    try {
        device->service = std::thread(ServiceThread, device);
    } catch (...) {
        return false;
    }
    device->started = true;
    return true;
}

bool CaptureBlockDone(void* handle, const WaveHeader* header) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr) return false;
    std::lock_guard<std::mutex> hold(device->lock);
    return (header->dwFlags & BLOCK_DONE) != 0;
}

void StopCaptureDevice(void* handle, WaveHeader*, size_t) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (device == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(device->lock);
        if (device->stopping) return;
        device->stopping = true;
    }
    // The descriptor stays readable, so a poll that starts after this
    // returns at once as well.
    device->retry.notify_all();
    uint64_t one = 1;
    if (device->wakeDescriptor >= 0 && write(device->wakeDescriptor, &one, sizeof one) < 0) {
        // An eventfd refuses a write only when its counter would overflow,
        // and then it is readable already.
    }
    if (device->service.joinable()) device->service.join();
    DropConnection(*device);
    FreeLoop(*device);
    // As waveInReset: every queued block comes back marked done, with what
    // it holds, announced like any finished block.
    std::vector<WaveHeader*> finished;
    {
        std::lock_guard<std::mutex> hold(device->lock);
        while (!device->queue.empty()) FinishHead(*device, finished);
    }
    Announce(*device, finished);
    // The record stays: its address is the handle, and posted messages name it.
}

// The stream itself is the device here: nothing to reopen from outside.
// An open device mends itself (its service reconnects); only a device that
// could not be opened at all (a numbered source the server did not have) is
// tried again here.
void* RecoverCaptureDevice(void* handle, WaveHeader*, size_t, uint32_t deviceId,
                           const WaveFormatRecord& format, void* callbackWindow,
                           bool* closeNoticePosted, bool* headersReleased) {
    *closeNoticePosted = false;
    *headersReleased = true;
    return handle != nullptr ? handle : OpenCaptureDevice(deviceId, format, callbackWindow);
}

bool ChooseCaptureTarget(void* handle, CaptureTarget target, const std::string& id) {
    auto* device = static_cast<PulseCapture*>(handle);
    if (target == CaptureTarget::NAMED_INPUT && id.empty()) return false;
    {
        ServiceChoiceState& choice = ServiceChoice();
        std::lock_guard<std::mutex> hold(choice.lock);
        choice.target = target;
        choice.id = target == CaptureTarget::NAMED_INPUT ? id : std::string();
    }
    // With no device open the choice waits for the next one.
    if (device == nullptr) return true;
    std::lock_guard<std::mutex> hold(device->lock);
    if (device->stopping) return false;
    device->chosenTarget = target;
    device->chosenId = target == CaptureTarget::NAMED_INPUT ? id : std::string();
    device->choicePending = true;
    // Before StartCaptureDevice the choice waits for it; after, the service
    // thread is woken to take it. Under the lock, so that a stop cannot
    // close the descriptor in between.
    uint64_t one = 1;
    if (device->started && write(device->wakeDescriptor, &one, sizeof one) < 0) {
        // Full counter: readable already.
    }
    return true;
}

CaptureStatusRecord QueryCaptureStatus(void*) {
    ServiceChoiceState& choice = ServiceChoice();
    std::lock_guard<std::mutex> hold(choice.lock);
    return choice.status;
}
