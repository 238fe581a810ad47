// Which view the program uses: the Qt window when there is a display to show it on, the
// console view otherwise.
//
// Thread safety: reentrant as long as the environment is not changed meanwhile.
#pragma once

#include <functional>
#include <string>

namespace app {

// Reads an environment variable; returns null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// True when DISPLAY or WAYLAND_DISPLAY is set and not empty, or when QT_QPA_PLATFORM names a
// platform (for example "offscreen", to draw the window without any display).
bool HasDisplay(const EnvironmentLookup& lookup);

}  // namespace app
