#include "app/display.h"

namespace app {

bool HasDisplay(const EnvironmentLookup& lookup) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = lookup(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

}  // namespace app
