// The name under which desktops know the program: its desktop entry is
// vellumtone.desktop, so shells match the Wayland window's app_id and the
// X11 window's class to it for the icon and the grouping of its windows.
#pragma once

constexpr const char* DESKTOP_APP_ID = "vellumtone";
