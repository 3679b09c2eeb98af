#include "app/settings_writer.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "app/settings_encoding.h"
#include "app/settings_file.h"
#include "app/settings_store.h"

namespace {

struct ChangeRecord {
    std::string path, key, value;
};

struct WriterState {
    std::mutex lock;
    std::condition_variable idle;  // the queue ran empty and the writer ended
    std::vector<ChangeRecord> queued;
    bool writing = false;  // a writer thread is at work
    bool failed = false;   // a change was given up since the last FinishSettingChanges
    SettingsWriteFailure lastFailure = SettingsWriteFailure::NONE;  // since the start
};

// Never destroyed: a writer thread still at work when the process ends (a
// stuck write is abandoned) may reach it until the very end.
WriterState& Writer() {
    static WriterState* const state = new WriterState;
    return *state;
}

void Complain(const std::string& path, const char* why) {
    std::fprintf(stderr, "vellumtone: the settings file %s was not changed: %s\n", path.c_str(),
                 why);
}

// Why changes were not made, as said on stderr, and its kind.
struct RefusalRecord {
    const char* why = nullptr;  // nullptr: they were made
    SettingsWriteFailure kind = SettingsWriteFailure::OTHER;
};

// Makes the changes `from` to `to` (all of one path) to the file.
RefusalRecord WriteChanges(const ChangeRecord* from, const ChangeRecord* to) {
    const std::string& path = from->path;
    // One byte past the limit tells a file that is longer than it.
    std::string bytes;
    SettingsTextRecord file;
    switch (ReadSettingsFile(path, SETTINGS_FILE_MAX_BYTES + 1, &bytes)) {
        case SETTINGS_FILE_MISSING:
            break;
        case SETTINGS_FILE_READ:
            if (bytes.size() > SETTINGS_FILE_MAX_BYTES) {
                return {"it is larger than 64 KiB", SettingsWriteFailure::TOO_LARGE};
            }
            file = DecodeSettingsFile(bytes);
            if (!file.exact) return {"it is not in an encoding it can keep"};
            break;
        case SETTINGS_FILE_UNREADABLE:
            return {"it cannot be read"};
    }
    for (const ChangeRecord* change = from; change != to; ++change) {
        if (!SetSettingValue(file.text, change->key, change->value, SettingsFileNewline())) {
            return {"a key it cannot hold"};
        }
    }
    std::string written;
    if (!EncodeSettingsFile(file.text, file.encoding, &written)) {
        return {"a value its encoding cannot hold"};
    }
    // Past the limit, the next start would not read the file whole.
    if (written.size() > SETTINGS_FILE_MAX_BYTES) {
        return {"it would grow larger than 64 KiB", SettingsWriteFailure::TOO_LARGE};
    }
    if (written == bytes) return {};
    if (!WriteSettingsFile(path, written)) return {"it could not be written"};
    return {};
}

void WriteQueued() {
    WriterState& writer = Writer();
    std::unique_lock<std::mutex> hold(writer.lock);
    while (!writer.queued.empty()) {
        std::vector<ChangeRecord> changes;
        changes.swap(writer.queued);
        hold.unlock();
        bool failed = false;
        SettingsWriteFailure kind = SettingsWriteFailure::NONE;
        // Each run of changes to one path is one write.
        for (size_t from = 0, to = 0; from < changes.size(); from = to) {
            while (to < changes.size() && changes[to].path == changes[from].path) ++to;
            const RefusalRecord refusal = WriteChanges(changes.data() + from, changes.data() + to);
            if (refusal.why != nullptr) {
                Complain(changes[from].path, refusal.why);
                failed = true;
                kind = refusal.kind;
            }
        }
        hold.lock();
        writer.failed = writer.failed || failed;
        if (failed) writer.lastFailure = kind;
    }
    writer.writing = false;
    writer.idle.notify_all();
}

}  // namespace

void QueueSettingChange(const std::string& path, const std::string& key, const std::string& value) {
    WriterState& writer = Writer();
    std::lock_guard<std::mutex> hold(writer.lock);
    writer.queued.push_back(ChangeRecord{path, key, value});
    if (writer.writing) return;
    // A thread for each run of writes: between them none waits, and a child
    // process (which has no threads but the one that forked) can write too.
    try {
        std::thread(WriteQueued).detach();
        writer.writing = true;
    } catch (const std::system_error&) {
        writer.queued.clear();
        writer.failed = true;
        writer.lastFailure = SettingsWriteFailure::OTHER;
        Complain(path, "no thread could be started to write it");
    }
}

bool FinishSettingChanges(std::chrono::steady_clock::time_point deadline) {
    WriterState& writer = Writer();
    std::unique_lock<std::mutex> hold(writer.lock);
    if (!writer.idle.wait_until(hold, deadline, [&] { return !writer.writing; })) return false;
    const bool failed = writer.failed;
    writer.failed = false;
    return !failed;
}

SettingsWriteFailure LastSettingsWriteFailure() {
    WriterState& writer = Writer();
    std::lock_guard<std::mutex> hold(writer.lock);
    return writer.lastFailure;
}

void ForgetSettingsWriteFailure() {
    WriterState& writer = Writer();
    std::lock_guard<std::mutex> hold(writer.lock);
    writer.lastFailure = SettingsWriteFailure::NONE;
}
