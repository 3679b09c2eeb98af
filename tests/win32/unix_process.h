// Linux programs started from a test under Wine, through Wine's Unix process
// start (as Wine starts the browser for web addresses): pacat to play a
// signal into the sound server, tests/sound_server.sh to take the server
// away and bring it back. Available only under Wine.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "system/windows_api_win32.h"

using UnixSpawn = LONG(__cdecl*)(char* const* argv, int wait);

inline UnixSpawn FindUnixSpawn() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return reinterpret_cast<UnixSpawn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "__wine_unix_spawnvp")));
}

// Runs the program (a Unix path and its arguments) and waits for it: its exit
// status, or -1 when it could not be started.
inline LONG RunUnixProgram(std::vector<std::string> arguments) {
    UnixSpawn spawn = FindUnixSpawn();
    if (spawn == nullptr) return -1;
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return spawn(argv.data(), 1);
}

// Plays a raw file (Unix path) into the "meter" sink with the Linux pacat.
// The call waits until pacat has played everything, so it runs on a thread.
class PacatPlayer {
public:
    bool Available() const { return FindUnixSpawn() != nullptr; }
    explicit PacatPlayer(const std::string& file) : file_(file) {}
    void Start() {
        thread_ = std::thread([this] {
            status_ = RunUnixProgram({"/usr/bin/pacat", "--raw", "--device=meter", "--rate=44100",
                                      "--channels=2", "--format=s16le", file_});
            done_ = true;
        });
    }
    bool Done() const { return done_; }
    LONG Status() {
        if (thread_.joinable()) thread_.join();
        return status_;
    }
    ~PacatPlayer() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::string file_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    LONG status_ = -1;
};
