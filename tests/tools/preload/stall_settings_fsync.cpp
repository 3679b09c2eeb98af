// Loaded with LD_PRELOAD into the program under test: an fsync of the
// settings file (or of its temporary beside it) never returns, as on a home
// folder whose server went away. Every other fsync goes through. The
// end-to-end tests use it to see that a close request is met all the same
// and that the file is never left half written.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>

extern "C" int fsync(int descriptor) {
    char link[64];
    char path[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
        if (std::strstr(path, "/vellumtone/vellumtone.ini") != nullptr) {
            for (;;) pause();
        }
    }
    using Fsync = int (*)(int);
    static const auto next = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return next != nullptr ? next(descriptor) : 0;
}
