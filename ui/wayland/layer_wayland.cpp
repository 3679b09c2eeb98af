// Stand-in for the Wayland layer until it is written: it never connects,
// so UiLayerInit always goes on to X11.
#include "ui/window_layer_linux.h"

namespace {

bool NoLayer() {
    return false;
}
void Nothing() {}
void IgnoreHandler(DisplayLostHandler) {}
void* NoTopWindow(int64_t, int, int, int, int, const char*, uint32_t, void*) {
    return nullptr;
}
void* NoButton(int64_t, int, int, int, int, const char*, uint32_t) {
    return nullptr;
}
void NoPlace(int64_t, int, int, int, int) {}
void NoScaleHandler(int64_t, ScaleChangeHandler) {}
void NoWindow(int64_t) {}
void NoBackground(int64_t, int32_t) {}
void NoStatusText(int64_t, int, int, int, int, const char*) {}
void NoOnTop(int64_t, bool) {}
int NoMessageBox(const char*, const char*, uint32_t) {
    return 0;
}
void NoHook(MessageHook, int64_t) {}
void NoModalHandler(AppEventHandler) {}
uint64_t NoTimer(int64_t, uint64_t, uint32_t) {
    return 0;
}
void NoRest(int64_t, uint64_t, std::chrono::steady_clock::time_point) {}
int64_t NoMessage(int32_t) {
    return 0;
}
double UnitScale() {
    return 1.0;
}
void NoTask(int (*)()) {}
bool NoWake(int) {
    return false;
}
bool NoPost(void*, uint32_t, uint64_t, int64_t) {
    return false;
}
bool NoMenu(int64_t, const std::vector<PopupMenuItem>&, bool) {
    return false;
}
int64_t NoCanvas(int64_t, int, int, int, int, int) {
    return 0;
}
bool NoPicture(int64_t, PixelView*) {
    return false;
}
void NoRelease(int64_t, bool, const PictureRect*) {}

}  // namespace

const WindowLayer& WaylandWindowLayer() {
    static const WindowLayer layer = {
        "wayland",    NoLayer,        Nothing,        IgnoreHandler, NoTopWindow,  NoButton,
        NoPlace,      NoScaleHandler, NoWindow,       NoBackground,  NoStatusText, NoOnTop,
        NoMessageBox, NoHook,         NoModalHandler, NoTimer,       NoRest,       NoMessage,
        UnitScale,    UnitScale,      NoTask,         NoWake,        Nothing,      NoPost,
        NoPost,       NoMenu,         NoCanvas,       NoPicture,     NoRelease,    NoWindow,
    };
    return layer;
}
