// Whether dialogs can be shown on a desktop.
#pragma once

#include <chrono>

namespace platform {

// Whether a Wayland compositor or an X server answers before the timeout. The arguments are
// the values of WAYLAND_DISPLAY, XDG_RUNTIME_DIR and DISPLAY, null when unset. X displays are
// reached on their socket file (":N", "unix:N"); a TCP display only when its host is localhost
// or a numeric address, since a name lookup cannot be bounded.
bool GraphicalSessionPresent(const char* waylandDisplay, const char* runtimeDir,
                             const char* display, std::chrono::milliseconds timeout);

// The same for this process's environment, within kSessionTimeout.
bool GraphicalSessionPresent();

// Enough for an X server behind SSH forwarding to answer.
inline constexpr std::chrono::milliseconds kSessionTimeout{2000};

}  // namespace platform
