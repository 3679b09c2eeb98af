// The operating-system version code on Linux. The codes name Windows
// releases; every other system is "unknown", 200.
#include "ui/platform_ui.h"

int GetOsVersionCode() {
    return 200;
}
