// Opening a web address on Linux: xdg-open hands it to the user's default
// handler, as ShellExecuteExW does on Windows. The address is xdg-open's own
// argument (no shell, so nothing in it is interpreted), the child starts in
// a session of its own and inherits no descriptor beyond the standard three,
// and a detached thread reaps it, so the event loop never waits for the
// browser and no zombie is left behind. The thread also hears xdg-open's
// answer: it ends with a failure status when it finds no handler or the
// handler it ran failed.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ui/launch.h"
#include "ui/window_layer_linux.h"

extern char** environ;

namespace {

// Xdg-open may wait for the browser it runs: one that fails later than this
// after the start has shown the page for that long.
constexpr auto REFUSAL_TIME = std::chrono::seconds(10);

std::atomic<int64_t> refusals{0};

}  // namespace

int64_t RefusedAddressCount() {
    return refusals.load();
}

int OpenAddress(const char* address) {
    if (address == nullptr || *address == '\0') return 0;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) return 0;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return 0;
    }
    // No descriptor of ours (the X connection, the sound server) goes along.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char program[] = "xdg-open";
    char* arguments[] = {program, const_cast<char*>(address), nullptr};
    // The browser may come to the front for the click that asked for it
    // (Wayland's xdg-activation); a token of ours, or none, replaces any
    // the program was started with.
    std::string token = "XDG_ACTIVATION_TOKEN=" + LaunchActivationToken();
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "XDG_ACTIVATION_TOKEN=", 21) != 0) environment.push_back(*entry);
    }
    if (token.size() > 21) environment.push_back(token.data());
    environment.push_back(nullptr);
    pid_t child = 0;
    int failure =
        posix_spawnp(&child, program, &actions, &attributes, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failure != 0) return 0;

    try {
        const auto started = std::chrono::steady_clock::now();
        std::thread([child, started] {
            int status = 0;
            pid_t ended = 0;
            while ((ended = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
            }
            const bool failed = ended == child && (!WIFEXITED(status) || WEXITSTATUS(status) != 0);
            if (failed && std::chrono::steady_clock::now() - started < REFUSAL_TIME) {
                refusals.fetch_add(1);
            }
        }).detach();
    } catch (...) {
        // No thread to wait: the child becomes a zombie only until we exit.
    }
    return 1;
}
