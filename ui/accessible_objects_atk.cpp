// ATK has no objects of its own for a program that draws its controls
// itself: each kind of part is a type of AtkObject here, with the interfaces
// a reader asks of it (AtkComponent for the place, AtkValue for a level,
// AtkAction for a button). A toolkit also fills in ATK's AtkUtil: the root
// object, which atk-bridge registers with the desktop, and the global event
// listeners, through which the bridge hears the objects' signals and turns
// them into AT-SPI events. Here they are GObject emission hooks, as in GTK.
#include "ui/accessible_objects_atk.h"

#include <cmath>
#include <cstring>
#include <map>

#include "ui/desktop_identity.h"
#include "ui/message_loop.h"
#include "ui/messages.h"
#include "ui/window_layer_linux.h"

namespace {

// Every object of the program: the application's, a window's or a part's.
struct PartObject {
    AtkObject parent;
    AccessibleWindowNode* window;  // the window it is or is in; nullptr: the application
    AccessiblePartNode* part;      // nullptr: the window itself
};

PartObject* Of(gpointer object) {
    return static_cast<PartObject*>(object);
}

// ---------------------------------------------------------------- the tree

std::vector<std::unique_ptr<AccessibleWindowNode>>& Windows() {
    static auto* windows = new std::vector<std::unique_ptr<AccessibleWindowNode>>();
    return *windows;
}

AtkObject* application = nullptr;

gint ChildCount(AtkObject* object) {
    PartObject* self = Of(object);
    if (self->window == nullptr) return static_cast<gint>(Windows().size());
    return self->part == nullptr ? static_cast<gint>(self->window->parts.size()) : 0;
}

AtkObject* RefChild(AtkObject* object, gint index) {
    PartObject* self = Of(object);
    if (index < 0 || index >= ChildCount(object) || self->part != nullptr) return nullptr;
    const size_t i = static_cast<size_t>(index);
    AtkObject* child =
        self->window == nullptr ? Windows()[i]->object : self->window->parts[i]->object;
    return ATK_OBJECT(g_object_ref(child));
}

gint IndexInParent(AtkObject* object) {
    PartObject* self = Of(object);
    if (self->window == nullptr) return -1;
    return self->part == nullptr ? self->window->index : self->part->index;
}

AtkStateSet* RefStateSet(AtkObject* object) {
    AtkStateSet* states = atk_state_set_new();
    const AtkStateType always[] = {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE,
                                   ATK_STATE_SHOWING};
    atk_state_set_add_states(states, const_cast<AtkStateType*>(always), 4);
    PartObject* self = Of(object);
    if (self->part != nullptr && self->part->part.role == AccessibleRole::PUSH_BUTTON) {
        atk_state_set_add_state(states, ATK_STATE_FOCUSABLE);
    }
    return states;
}

void InitObjectClass(gpointer type, gpointer) {
    AtkObjectClass* atk = ATK_OBJECT_CLASS(type);
    atk->get_n_children = ChildCount;
    atk->ref_child = RefChild;
    atk->get_index_in_parent = IndexInParent;
    atk->ref_state_set = RefStateSet;
}

// ---------------------------------------------------------------- places

// A part's place (the window's: its client area) in pixels, from the client
// area's corner, and that corner on the screen. The layer tells where a
// window is (X11); where it cannot (Wayland, where only the compositor knows
// where a window is), the corner is at 0, 0 and a pixel is the window's
// logical pixel, its 96-DPI one.
void GetExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                AtkCoordType coordinates) {
    PartObject* self = Of(component);
    *x = *y = *width = *height = 0;
    if (self->window == nullptr) return;
    const AccessibleWindowNode& window = *self->window;
    int left = 0, top = 0, pixelsWide = window.width, pixelsHigh = window.height;
    const WindowLayer& layer = CurrentWindowLayer();
    if (layer.windowScreenRect != nullptr &&
        !layer.windowScreenRect(window.handle, &left, &top, &pixelsWide, &pixelsHigh)) {
        return;  // the window is gone
    }
    const double scaleX = window.width > 0 ? static_cast<double>(pixelsWide) / window.width : 1;
    const double scaleY = window.height > 0 ? static_cast<double>(pixelsHigh) / window.height : 1;
    int placeX = 0, placeY = 0, placeWidth = window.width, placeHeight = window.height;
    if (self->part != nullptr) {
        const AccessiblePart& part = self->part->part;
        placeX = part.x;
        placeY = part.y;
        placeWidth = part.width;
        placeHeight = part.height;
    }
    // Edges scaled as the layers scale them, so that parts side by side
    // meet in the same pixel.
    *x = static_cast<gint>(std::lround(placeX * scaleX));
    *y = static_cast<gint>(std::lround(placeY * scaleY));
    *width = static_cast<gint>(std::lround((placeX + placeWidth) * scaleX)) - *x;
    *height = static_cast<gint>(std::lround((placeY + placeHeight) * scaleY)) - *y;
    // The window itself lies at its own corner; its parent, the application,
    // has the screen's.
    const bool windowItself = self->part == nullptr;
    if (coordinates == ATK_XY_SCREEN || (windowItself && coordinates == ATK_XY_PARENT)) {
        *x += left;
        *y += top;
    }
}

void InitComponent(gpointer interface, gpointer) {
    static_cast<AtkComponentIface*>(interface)->get_extents = GetExtents;
}

// ---------------------------------------------------------------- levels

void GetCurrentValue(AtkValue* value, GValue* out) {
    TakeLevelNews();
    g_value_init(out, G_TYPE_DOUBLE);
    g_value_set_double(out, Of(value)->part->value);
}

void GetMinimumValue(AtkValue* value, GValue* out) {
    g_value_init(out, G_TYPE_DOUBLE);
    g_value_set_double(out, Of(value)->part->part.minimum);
}

void GetMaximumValue(AtkValue* value, GValue* out) {
    g_value_init(out, G_TYPE_DOUBLE);
    g_value_set_double(out, Of(value)->part->part.maximum);
}

constexpr double LEVEL_STEP = 0.1;  // a level is told in tenths

void GetMinimumIncrement(AtkValue*, GValue* out) {
    g_value_init(out, G_TYPE_DOUBLE);
    g_value_set_double(out, LEVEL_STEP);
}

void GetValueAndText(AtkValue* value, gdouble* current, gchar** text) {
    TakeLevelNews();
    const AccessiblePartNode& part = *Of(value)->part;
    if (current != nullptr) *current = part.value;
    if (text != nullptr) *text = g_strdup(part.text.c_str());
}

AtkRange* GetRange(AtkValue* value) {
    const AccessiblePart& part = Of(value)->part->part;
    return atk_range_new(part.minimum, part.maximum, nullptr);
}

gdouble GetIncrement(AtkValue*) {
    return LEVEL_STEP;
}

// Both ATK's interface of before 2.12 and its newer one: the bridge still
// asks the first for the value, the second for its text.
void InitValue(gpointer interface, gpointer) {
    auto* value = static_cast<AtkValueIface*>(interface);
    value->get_current_value = GetCurrentValue;
    value->get_minimum_value = GetMinimumValue;
    value->get_maximum_value = GetMaximumValue;
    value->get_minimum_increment = GetMinimumIncrement;
    value->get_value_and_text = GetValueAndText;
    value->get_range = GetRange;
    value->get_increment = GetIncrement;
}

// ---------------------------------------------------------------- buttons

constexpr const char* CLICK = "click";

gint ActionCount(AtkAction*) {
    return 1;
}

const gchar* ActionName(AtkAction*, gint index) {
    return index == 0 ? CLICK : nullptr;
}

// The click happens on the window's thread, as the mouse's would; the
// reader is told it was done once it is asked for.
gboolean DoAction(AtkAction* action, gint index) {
    PartObject* self = Of(action);
    if (index != 0 || self->part == nullptr) return FALSE;
    return PostWindowMessage(self->window->handle, MESSAGE_CLICK_CONTROL,
                             static_cast<uint64_t>(self->part->part.control), 0)
               ? TRUE
               : FALSE;
}

void InitAction(gpointer interface, gpointer) {
    auto* action = static_cast<AtkActionIface*>(interface);
    action->get_n_actions = ActionCount;
    action->get_name = ActionName;
    action->get_localized_name = ActionName;
    action->do_action = DoAction;
}

// ---------------------------------------------------------------- types

GType RegisterType(const char* name,
                   std::initializer_list<std::pair<GType, GInterfaceInitFunc>> interfaces) {
    const GType type = g_type_register_static_simple(
        ATK_TYPE_OBJECT, g_intern_static_string(name), sizeof(AtkObjectClass), InitObjectClass,
        sizeof(PartObject), nullptr, static_cast<GTypeFlags>(0));
    for (const auto& [interface, init] : interfaces) {
        const GInterfaceInfo info = {init, nullptr, nullptr};
        g_type_add_interface_static(type, interface, &info);
    }
    return type;
}

GType ApplicationType() {
    static const GType type = RegisterType("VellumtoneApplication", {});
    return type;
}

GType WindowType() {
    static const GType type =
        RegisterType("VellumtoneWindow", {{ATK_TYPE_COMPONENT, InitComponent}});
    return type;
}

GType LevelType() {
    static const GType type = RegisterType(
        "VellumtoneLevel", {{ATK_TYPE_COMPONENT, InitComponent}, {ATK_TYPE_VALUE, InitValue}});
    return type;
}

GType ButtonType() {
    static const GType type = RegisterType(
        "VellumtoneButton", {{ATK_TYPE_COMPONENT, InitComponent}, {ATK_TYPE_ACTION, InitAction}});
    return type;
}

AtkObject* NewObject(GType type, AtkRole role, const char* name, AtkObject* parent,
                     AccessibleWindowNode* window, AccessiblePartNode* part) {
    AtkObject* object = ATK_OBJECT(g_object_new(type, nullptr));
    Of(object)->window = window;
    Of(object)->part = part;
    atk_object_initialize(object, nullptr);
    atk_object_set_role(object, role);
    atk_object_set_name(object, name);
    if (parent != nullptr) atk_object_set_parent(object, parent);
    return object;
}

// ---------------------------------------------------------------- AtkUtil

struct Listener {
    guint signal;
    gulong hook;
};
// The bridge hooks the objects' property changes only while a reader
// listens for events; until then a level's changes need not wake anyone.
guint propertyChange = 0;  // the signal
int propertyListeners = 0;
std::map<guint, Listener>& Listeners() {
    static auto* listeners = new std::map<guint, Listener>();
    return *listeners;
}

// "Toolkit:AtkObject:property-change": an emission hook on that signal of
// that type, whoever emits it. Window events ("window:activate") are not
// emitted here.
guint AddGlobalListener(GSignalEmissionHook listener, const gchar* eventType) {
    static guint nextKey = 1;
    // Known once ATK's object class is, as it is by the time the bridge
    // asks (it has the root object).
    if (propertyChange == 0) propertyChange = g_signal_lookup("property-change", ATK_TYPE_OBJECT);
    gchar** parts = g_strsplit(eventType, ":", 3);
    guint key = 0;
    if (g_strv_length(parts) == 3) {
        const GType type = g_type_from_name(parts[1]);
        // An interface's signals exist once its default vtable does.
        gpointer interface =
            type != 0 && G_TYPE_IS_INTERFACE(type) ? g_type_default_interface_ref(type) : nullptr;
        const guint signal = type != 0 ? g_signal_lookup(parts[2], type) : 0;
        if (signal != 0) {
            key = nextKey++;
            const gulong hook =
                g_signal_add_emission_hook(signal, 0, listener, g_strdup(eventType), g_free);
            Listeners()[key] = Listener{signal, hook};
            if (signal == propertyChange && ++propertyListeners == 1) {
                AccessibleValuesHeard(true);
            }
        }
        if (interface != nullptr) g_type_default_interface_unref(interface);
    }
    g_strfreev(parts);
    return key;
}

void RemoveGlobalListener(guint key) {
    auto found = Listeners().find(key);
    if (found == Listeners().end()) return;
    g_signal_remove_emission_hook(found->second.signal, found->second.hook);
    const bool property = found->second.signal == propertyChange;
    Listeners().erase(found);
    if (property && --propertyListeners == 0) AccessibleValuesHeard(false);
}

AtkObject* Root() {
    if (application == nullptr) {
        application = NewObject(ApplicationType(), ATK_ROLE_APPLICATION, DESKTOP_APP_ID, nullptr,
                                nullptr, nullptr);
    }
    return application;
}

const gchar* ToolkitName() {
    return "Vellumtone";
}

const gchar* ToolkitVersion() {
    return VELLUMTONE_VERSION;
}

}  // namespace

void InstallAccessibleToolkit() {
    // Kept for the program's life: atk_get_root() and the bridge read it.
    auto* util = static_cast<AtkUtilClass*>(g_type_class_ref(ATK_TYPE_UTIL));
    util->get_root = Root;
    util->get_toolkit_name = ToolkitName;
    util->get_toolkit_version = ToolkitVersion;
    util->add_global_event_listener = AddGlobalListener;
    util->remove_global_event_listener = RemoveGlobalListener;
}

void ShowAccessibleWindow(std::unique_ptr<AccessibleWindowNode> window) {
    AtkObject* root = Root();
    AccessibleWindowNode& shown = *window;
    shown.index = static_cast<int>(Windows().size());
    shown.object =
        NewObject(WindowType(), ATK_ROLE_FRAME, shown.title.c_str(), root, &shown, nullptr);
    for (size_t i = 0; i < shown.parts.size(); ++i) {
        AccessiblePartNode& part = *shown.parts[i];
        part.window = &shown;
        part.index = static_cast<int>(i);
        const bool level = part.part.role == AccessibleRole::LEVEL_INDICATOR;
        part.object = NewObject(level ? LevelType() : ButtonType(),
                                level ? ATK_ROLE_LEVEL_BAR : ATK_ROLE_PUSH_BUTTON,
                                part.name.c_str(), shown.object, &shown, &part);
    }
    Windows().push_back(std::move(window));
    g_signal_emit_by_name(root, "children-changed::add", shown.index, shown.object);
}

AccessiblePartNode* FindAccessiblePart(int64_t control) {
    for (const auto& window : Windows()) {
        for (const auto& part : window->parts) {
            if (part->part.control == control) return part.get();
        }
    }
    return nullptr;
}

void ChangeAccessibleLevel(AccessiblePartNode& part, double value, const std::string& text) {
    if (part.value == value && part.text == text) return;
    part.value = value;
    part.text = text;
    // ATK turns the notification into its property-change signal, which the
    // bridge sends as AT-SPI's object:property-change:accessible-value.
    g_object_notify(G_OBJECT(part.object), "accessible-value");
}

void AnnounceFromWindow(int64_t window, const std::string& text) {
    for (const auto& shown : Windows()) {
        if (shown->number == window) {
            g_signal_emit_by_name(shown->object, "announcement", text.c_str());
            return;
        }
    }
}
