// The screens' refresh from RandR (see display_refresh_x11.h).
#include "ui/x11/display_refresh_x11.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>

#include "ui/frame_pacing.h"

namespace {

int randrEventBase = -1;  // -1: no RandR 1.2 on this server

// The fastest refresh of the CRTCs that show something: pictures paced to
// it are never fewer than any screen shows. 0 when no mode says.
double FastestRefresh(Display* display, Window root) {
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) return 0;
    double fastest = 0;
    for (int c = 0; c < resources->ncrtc; ++c) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
        if (crtc == nullptr) continue;
        for (int m = 0; crtc->mode != None && m < resources->nmode; ++m) {
            const XRRModeInfo& mode = resources->modes[m];
            if (mode.id != crtc->mode) continue;
            fastest = std::max(fastest, X11ModeRefresh(mode.dotClock, mode.hTotal, mode.vTotal,
                                                       (mode.modeFlags & RR_DoubleScan) != 0,
                                                       (mode.modeFlags & RR_Interlace) != 0));
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return fastest;
}

}  // namespace

double X11ModeRefresh(unsigned long dotClock, unsigned hTotal, unsigned vTotal, bool doubleScan,
                      bool interlace) {
    double lines = static_cast<double>(vTotal);
    if (doubleScan) lines *= 2;  // each line is scanned twice
    if (interlace) lines /= 2;   // a field holds every second line
    double pixels = static_cast<double>(hTotal) * lines;
    return pixels > 0 ? static_cast<double>(dotClock) / pixels : 0;
}

void X11WatchDisplayRefresh(Display* display, Window root) {
    int errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &randrEventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2)) {
        randrEventBase = -1;
        SetDisplayRefresh(0);
        return;
    }
    XRRSelectInput(display, root, RRScreenChangeNotifyMask);
    SetDisplayRefresh(FastestRefresh(display, root));
}

bool X11TakeDisplayRefreshEvent(Display* display, XEvent& event) {
    if (randrEventBase < 0 || event.type != randrEventBase + RRScreenChangeNotify) return false;
    // Xlib keeps its own copy of the screen's size, which this updates.
    XRRUpdateConfiguration(&event);
    SetDisplayRefresh(FastestRefresh(display, event.xany.window));
    return true;
}
