// The look for an accessibility bus at start-up, on a private connection to
// the session bus that is closed again at once: libdbus's shared connection
// would stay open for the program's life, and its session bus lookup may
// start a bus through autolaunch when none is named.
#include "ui/accessibility_bus_dbus.h"

#include <dbus/dbus.h>

#include <cstdlib>

namespace {

constexpr int QUESTION_TIMEOUT_MS = 250;
constexpr const char* A11Y_BUS_NAME = "org.a11y.Bus";

// The bus daemon's answer to one of its own methods, nullptr on an error or
// after the time allowed.
DBusMessage* AskBus(DBusConnection* bus, const char* method, const char* argument) {
    DBusMessage* question = dbus_message_new_method_call(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method);
    if (question == nullptr) return nullptr;
    if (argument != nullptr &&
        !dbus_message_append_args(question, DBUS_TYPE_STRING, &argument, DBUS_TYPE_INVALID)) {
        dbus_message_unref(question);
        return nullptr;
    }
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* answer =
        dbus_connection_send_with_reply_and_block(bus, question, QUESTION_TIMEOUT_MS, &error);
    dbus_message_unref(question);
    dbus_error_free(&error);
    return answer;
}

}  // namespace

bool AccessibilityBusRunning() {
    const char* disabled = std::getenv("NO_AT_BRIDGE");
    if (disabled != nullptr && std::atoi(disabled) == 1) return false;
    const char* direct = std::getenv("AT_SPI_BUS_ADDRESS");
    if (direct != nullptr && *direct != '\0') return true;
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (session == nullptr || *session == '\0') return false;

    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_connection_open_private(session, &error);
    dbus_error_free(&error);
    if (bus == nullptr) return false;
    dbus_connection_set_exit_on_disconnect(bus, FALSE);
    bool running = false;
    // The bus takes no other question before Hello; asked here rather than
    // through dbus_bus_register, which would wait up to 25 seconds.
    if (DBusMessage* hello = AskBus(bus, "Hello", nullptr)) {
        dbus_message_unref(hello);
        if (DBusMessage* answer = AskBus(bus, "NameHasOwner", A11Y_BUS_NAME)) {
            dbus_bool_t owned = FALSE;
            if (dbus_message_get_args(answer, nullptr, DBUS_TYPE_BOOLEAN, &owned,
                                      DBUS_TYPE_INVALID)) {
                running = owned;
            }
            dbus_message_unref(answer);
        }
    }
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    return running;
}
