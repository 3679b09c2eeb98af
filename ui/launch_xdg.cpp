// Opening a web address on Linux: xdg-open hands it to the user's default
// handler, as ShellExecuteExW does on Windows. The address is xdg-open's own
// argument (no shell, so nothing in it is interpreted), the child starts in
// a session of its own and inherits no descriptor beyond the standard three,
// and a detached thread reaps it, so the event loop never waits for the
// browser and no zombie is left behind.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "ui/launch.h"

extern char** environ;

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
    pid_t child = 0;
    int failure = posix_spawnp(&child, program, &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failure != 0) return 0;

    try {
        std::thread([child] {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // No thread to wait: the child becomes a zombie only until we exit.
    }
    return 1;
}
