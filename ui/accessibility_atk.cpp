// Screen readers on Linux, under either window layer: AT-SPI through ATK and
// atk-bridge. The bridge answers readers from a GLib main loop; here that
// loop runs on a thread of its own, which alone owns GLib's default main
// context and every ATK object, so that neither the program's loop nor the
// meters ever wait for a reader (a reader's questions are synchronous D-Bus
// calls). The other threads only leave news in an inbox and wake the
// service's loop through an eventfd: a new window, a level's new value
// (this only while a reader listens for events), a text to announce.
// Nothing of this runs, and the bridge is never started, when no
// accessibility bus does (accessibility_bus_dbus.h).
#include <atk-bridge.h>
#include <glib-unix.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "ui/accessibility.h"
#include "ui/accessibility_bus_dbus.h"
#include "ui/accessible_objects_atk.h"

namespace {

// How long AccessibilityClose waits for the bridge to tell the registry the
// program is gone; a bus that does not take it is left to the process's end.
constexpr auto CLOSE_WAIT = std::chrono::milliseconds(500);

struct LevelNews {
    double value = 0;
    std::string text;
};

// What the other threads leave for the service's thread.
struct Inbox {
    std::mutex lock;
    std::vector<std::unique_ptr<AccessibleWindowNode>> windows;
    std::map<int64_t, LevelNews> levels;                         // the newest of each control
    std::vector<std::pair<int64_t, std::string>> announcements;  // by window, in order
    bool stopping = false;
    bool woken = false;  // a wake-up is on its way: no other is needed
    bool ended = false;  // the service's thread has finished
    std::condition_variable endedChanged;
};

Inbox& TheInbox() {
    // Never destroyed: the service's thread may outlive the main thread's
    // last call at the process's end.
    static auto* inbox = new Inbox();
    return *inbox;
}

// Set before any other thread starts; -1 while readers are not served.
int wakeDescriptor = -1;
std::thread service;
GMainLoop* loop = nullptr;  // the service's thread's
// Whether a level's change is to be told at once: only while a reader
// listens for events. Otherwise it waits in the inbox, costing no wake-up,
// until a reader asks for the value or starts listening.
std::atomic<bool> valuesHeard{false};

void Wake() {
    const uint64_t one = 1;
    // The counter only grows; a full one (never, in practice) is awake anyway.
    [[maybe_unused]] ssize_t written = write(wakeDescriptor, &one, sizeof one);
}

// The news of the levels, on the service's thread.
void TakeLevels(std::map<int64_t, LevelNews>& levels) {
    for (const auto& [control, news] : levels) {
        if (AccessiblePartNode* part = FindAccessiblePart(control)) {
            ChangeAccessibleLevel(*part, news.value, news.text);
        }
    }
}

// Runs on the service's thread each time it is woken.
gboolean TakeNews(gint descriptor, GIOCondition, gpointer) {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t taken = ::read(descriptor, &count, sizeof count);
    std::vector<std::unique_ptr<AccessibleWindowNode>> windows;
    std::map<int64_t, LevelNews> levels;
    std::vector<std::pair<int64_t, std::string>> announcements;
    bool stopping = false;
    {
        Inbox& inbox = TheInbox();
        std::lock_guard<std::mutex> hold(inbox.lock);
        windows.swap(inbox.windows);
        levels.swap(inbox.levels);
        announcements.swap(inbox.announcements);
        stopping = inbox.stopping;
        inbox.woken = false;
    }
    for (auto& window : windows) ShowAccessibleWindow(std::move(window));
    TakeLevels(levels);
    for (const auto& [window, text] : announcements) AnnounceFromWindow(window, text);
    if (stopping) g_main_loop_quit(loop);
    return G_SOURCE_CONTINUE;
}

void Serve() {
    // Named for whoever looks at the program's threads (top -H, the tests).
    pthread_setname_np(pthread_self(), "readers");
    InstallAccessibleToolkit();
    loop = g_main_loop_new(nullptr, FALSE);
    g_unix_fd_add(wakeDescriptor, G_IO_IN, TakeNews, nullptr);
    // Registers the application with the readers' registry; the questions
    // it asks on the way are answered on this thread.
    if (atk_bridge_adaptor_init(nullptr, nullptr) == 0) {
        g_main_loop_run(loop);
        atk_bridge_adaptor_cleanup();
    } else {
        std::fprintf(stderr, "vellumtone: the accessibility bridge did not start\n");
    }
    Inbox& inbox = TheInbox();
    std::lock_guard<std::mutex> hold(inbox.lock);
    inbox.ended = true;
    inbox.endedChanged.notify_all();
}

}  // namespace

void AccessibleValuesHeard(bool heard) {
    valuesHeard.store(heard);
    if (heard) TakeLevelNews();
}

void TakeLevelNews() {
    std::map<int64_t, LevelNews> levels;
    {
        Inbox& inbox = TheInbox();
        std::lock_guard<std::mutex> hold(inbox.lock);
        // Levels of a window not shown yet go with it: it is woken for.
        if (!inbox.windows.empty()) return;
        levels.swap(inbox.levels);
    }
    TakeLevels(levels);
}

bool AccessibilityInit() {
    if (wakeDescriptor != -1 || !AccessibilityBusRunning()) return false;
    wakeDescriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeDescriptor == -1) return false;
    try {
        service = std::thread(Serve);
    } catch (const std::system_error&) {
        // No thread to spare: the program goes on without serving readers.
        close(wakeDescriptor);
        wakeDescriptor = -1;
        return false;
    }
    return true;
}

void AccessibilityClose() {
    if (wakeDescriptor == -1 || !service.joinable()) return;
    Inbox& inbox = TheInbox();
    std::unique_lock<std::mutex> hold(inbox.lock);
    inbox.stopping = true;
    Wake();
    if (inbox.endedChanged.wait_for(hold, CLOSE_WAIT, [&] { return inbox.ended; })) {
        hold.unlock();
        service.join();
    } else {
        service.detach();
    }
}

void ExposeWindow(int64_t window, void* handle, const char* title, int width, int height,
                  const AccessiblePart* parts, int count) {
    if (wakeDescriptor == -1) return;
    auto node = std::make_unique<AccessibleWindowNode>();
    node->number = window;
    node->handle = handle;
    node->title = title != nullptr ? title : "";
    node->width = width;
    node->height = height;
    for (int i = 0; i < count; ++i) {
        auto part = std::make_unique<AccessiblePartNode>();
        part->part = parts[i];
        part->name = parts[i].name != nullptr ? parts[i].name : "";
        part->text = parts[i].text != nullptr ? parts[i].text : "";
        part->part.name = part->part.text = nullptr;
        part->value = parts[i].value;
        node->parts.push_back(std::move(part));
    }
    Inbox& inbox = TheInbox();
    std::lock_guard<std::mutex> hold(inbox.lock);
    inbox.windows.push_back(std::move(node));
    if (!inbox.woken) {
        inbox.woken = true;
        Wake();
    }
}

void SetAccessibleLevel(int64_t control, double value, const char* text) {
    if (wakeDescriptor == -1) return;
    Inbox& inbox = TheInbox();
    std::lock_guard<std::mutex> hold(inbox.lock);
    inbox.levels[control] = LevelNews{value, text != nullptr ? text : ""};
    if (valuesHeard.load() && !inbox.woken) {
        inbox.woken = true;
        Wake();
    }
}

void AnnounceText(int64_t window, const char* text) {
    if (wakeDescriptor == -1 || text == nullptr) return;
    Inbox& inbox = TheInbox();
    std::lock_guard<std::mutex> hold(inbox.lock);
    inbox.announcements.emplace_back(window, text);
    if (!inbox.woken) {
        inbox.woken = true;
        Wake();
    }
}
