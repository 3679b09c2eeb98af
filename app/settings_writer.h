// The settings file's writes, made off the main thread: flushing a file to
// the disk can take a long while on a slow home folder, and the main thread
// draws the needles. Changes are written in the order they were made; those
// made while a write is under way go into the next one together, so the file
// never gets an older text after a newer one.
#pragma once

#include <chrono>
#include <string>

// Queues a change of one entry (its key and its value as the file holds it)
// of the settings file at `path`; returns at once. A thread of its own reads
// the file again, so that an edit made meanwhile is kept, makes every change
// queued so far, and replaces the file. A file it cannot read whole, one
// whose text would not stay as it is, and a text that would pass the read
// limit are left as they are; each failure is said on stderr.
void QueueSettingChange(const std::string& path, const std::string& key, const std::string& value);

// Waits until every queued change is written or given up, or until
// `deadline`. True when none is left and none was given up since the last
// call.
bool FinishSettingChanges(std::chrono::steady_clock::time_point deadline);

// Why a change was last given up, for the status line.
enum class SettingsWriteFailure {
    NONE,       // none was given up since the program started
    TOO_LARGE,  // the file is, or with the change would grow, larger than 64 KiB
    OTHER,      // it could not be read, kept, or written
};

// The kind of the last change given up since the program started; stays
// until the program ends. Any thread.
SettingsWriteFailure LastSettingsWriteFailure();

// Forgets the last failure, as at the start: for tests that need the line
// without it.
void ForgetSettingsWriteFailure();
