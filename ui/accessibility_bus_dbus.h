// Whether readers could listen on Linux: an AT-SPI accessibility bus runs.
#pragma once

// Asks the session bus, without starting anything, whether the AT-SPI bus
// has an owner (the launcher that GNOME, KDE and screen readers start);
// AT_SPI_BUS_ADDRESS names one directly. False at once without a session
// bus, and with NO_AT_BRIDGE=1 (the switch GTK programs obey too). A bus
// that does not answer is given a quarter of a second per question.
bool AccessibilityBusRunning();
