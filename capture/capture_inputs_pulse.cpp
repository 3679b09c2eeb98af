// The inputs a PulseAudio server offers (PipeWire's pulse service answers
// the same requests). The listing runs on a short-lived connection and main
// loop of its own, so it never touches a recording device's loop, and every
// wait on the server ends at the caller's deadline.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "capture/capture_inputs.h"
#include "capture/main_loop_pulse.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SourceEntry {
    std::string name;
    std::string description;
    uint32_t monitorOfSink = PA_INVALID_INDEX;
};

struct Listing {
    std::vector<SourceEntry> sources;
    std::map<uint32_t, std::string> sinkDescriptions;  // by sink index
    std::string defaultSource;                         // its name
    int pending = 0;                                   // requests whose last answer has not come
    bool failed = false;
};

const char* Or(const char* text, const char* fallback) {
    return text != nullptr && text[0] != '\0' ? text : fallback;
}

// True for an entry of a list; its end (last > 0, or < 0 when the list
// failed) counts the question answered.
bool IsEntry(Listing* listing, int last) {
    if (last == 0) return true;
    if (last < 0) listing->failed = true;
    --listing->pending;
    return false;
}

void OnSource(pa_context*, const pa_source_info* info, int last, void* data) {
    auto* listing = static_cast<Listing*>(data);
    if (!IsEntry(listing, last) || info == nullptr || info->name == nullptr) return;
    listing->sources.push_back(
        SourceEntry{info->name, Or(info->description, info->name), info->monitor_of_sink});
}

void OnSink(pa_context*, const pa_sink_info* info, int last, void* data) {
    auto* listing = static_cast<Listing*>(data);
    if (!IsEntry(listing, last) || info == nullptr || info->name == nullptr) return;
    listing->sinkDescriptions[info->index] = Or(info->description, info->name);
}

void OnServer(pa_context*, const pa_server_info* info, void* data) {
    auto* listing = static_cast<Listing*>(data);
    if (info != nullptr && info->default_source_name != nullptr) {
        listing->defaultSource = info->default_source_name;
    }
    --listing->pending;
}

bool Ask(pa_context* context, pa_mainloop* loop, Listing* listing, Clock::time_point deadline) {
    while (pa_context_get_state(context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) return false;
        if (!IterateUntil(loop, deadline)) return false;
    }
    pa_operation* sources = pa_context_get_source_info_list(context, OnSource, listing);
    pa_operation* sinks = pa_context_get_sink_info_list(context, OnSink, listing);
    pa_operation* server = pa_context_get_server_info(context, OnServer, listing);
    listing->pending = (sources != nullptr) + (sinks != nullptr) + (server != nullptr);
    bool answered = sources != nullptr && sinks != nullptr && server != nullptr;
    while (answered && listing->pending > 0) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) || !IterateUntil(loop, deadline)) {
            answered = false;
        }
    }
    // Cancelling keeps an answer that comes later from reaching `listing`.
    for (pa_operation* operation : {sources, sinks, server}) {
        if (operation == nullptr) continue;
        if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
            pa_operation_cancel(operation);
        }
        pa_operation_unref(operation);
    }
    return answered && !listing->failed;
}

}  // namespace

std::vector<CaptureInputRecord> ListCaptureInputs(int32_t timeoutMs) {
    std::vector<CaptureInputRecord> inputs;
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max<int32_t>(timeoutMs, 0));
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) return inputs;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Vellumtone input list");
    Listing listing;
    bool answered = context != nullptr &&
                    pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
                    Ask(context, loop, &listing, deadline);
    if (context != nullptr) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    if (!answered) return inputs;

    for (const SourceEntry& source : listing.sources) {
        if (source.monitorOfSink == PA_INVALID_INDEX) {
            inputs.push_back(CaptureInputRecord{source.name, source.description, false,
                                                source.name == listing.defaultSource});
        }
    }
    for (const SourceEntry& source : listing.sources) {
        if (source.monitorOfSink == PA_INVALID_INDEX) continue;
        auto sink = listing.sinkDescriptions.find(source.monitorOfSink);
        const std::string& name =
            sink != listing.sinkDescriptions.end() ? sink->second : source.description;
        inputs.push_back(
            CaptureInputRecord{source.name, name, true, source.name == listing.defaultSource});
    }
    return inputs;
}

// Every server has a default output whose monitor can be recorded.
bool PlayingCaptureAvailable() {
    return true;
}
