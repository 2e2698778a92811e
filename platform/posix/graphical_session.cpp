#include "platform/posix/graphical_session.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/scoped.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Bounds the socket's next blocking calls of one kind (SO_SNDTIMEO: connecting and sending,
// SO_RCVTIMEO: receiving) by the time left; false when none is left.
bool BoundBy(int fd, int calls, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    const timeval bound{left / 1000000, left % 1000000};
    return left > 0 && ::setsockopt(fd, SOL_SOCKET, calls, &bound, sizeof bound) == 0;
}

// A stream socket connected before the deadline, or none.
UniqueFd Connect(const sockaddr* address, socklen_t length, Clock::time_point deadline) {
    UniqueFd fd(::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid() || !BoundBy(fd.Get(), SO_SNDTIMEO, deadline) ||
        ::connect(fd.Get(), address, length) != 0) {
        return UniqueFd();
    }
    return fd;
}

UniqueFd ConnectLocal(const std::string& path, Clock::time_point deadline) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return UniqueFd();
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return Connect(reinterpret_cast<sockaddr*>(&address), sizeof address, deadline);
}

// A Wayland display is its socket's name in the runtime folder, or its path.
bool WaylandAnswers(const char* display, const char* runtimeDir, Clock::time_point deadline) {
    if (display == nullptr || *display == '\0') {
        return false;
    }
    if (*display == '/') {
        return ConnectLocal(display, deadline).Valid();
    }
    return runtimeDir != nullptr && *runtimeDir != '\0' &&
           ConnectLocal(std::string(runtimeDir) + "/" + display, deadline).Valid();
}

// DISPLAY is [protocol/][host]:number[.screen]. A TCP display only at localhost or a numeric
// address: a name lookup cannot be bounded.
UniqueFd ConnectX(const std::string& display, Clock::time_point deadline) {
    const std::size_t colon = display.rfind(':');
    if (colon == std::string::npos) {
        return UniqueFd();
    }
    const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    if (number.empty() || number.size() > 4 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
        return UniqueFd();
    }
    std::string host = display.substr(0, colon);
    std::string protocol;
    if (const std::size_t slash = host.rfind('/'); slash != std::string::npos) {
        protocol = host.substr(0, slash);
        host.erase(0, slash + 1);
    }
    if (protocol == "unix" || (protocol.empty() && (host.empty() || host == "unix"))) {
        return ConnectLocal("/tmp/.X11-unix/X" + number, deadline);
    }
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host == "localhost" ? "127.0.0.1" : host.c_str(),
                      std::to_string(6000 + std::stoi(number)).c_str(), &hints, &found) != 0) {
        return UniqueFd();
    }
    const Scoped<addrinfo, ::freeaddrinfo> addresses(found);
    return Connect(found->ai_addr, found->ai_addrlen, deadline);
}

// Whether an X server answers the connection setup before the deadline: a server that accepts
// and never answers would hold every dialog. Any answer counts, a refusal for want of
// authorization too: the server is alive, and the toolkit brings the authorization.
bool XServerAnswers(const UniqueFd& connection, Clock::time_point deadline) {
    // Little-endian setup for protocol 11.0, without authorization.
    const unsigned char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    unsigned char answer = 0;
    return connection.Valid() &&
           ::send(connection.Get(), setup, sizeof setup, MSG_NOSIGNAL) == sizeof setup &&
           BoundBy(connection.Get(), SO_RCVTIMEO, deadline) &&
           ::recv(connection.Get(), &answer, 1, 0) == 1;
}

}  // namespace

bool GraphicalSessionPresent(const char* waylandDisplay, const char* runtimeDir,
                             const char* display, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    return WaylandAnswers(waylandDisplay, runtimeDir, deadline) ||
           (display != nullptr && XServerAnswers(ConnectX(display, deadline), deadline));
}

bool GraphicalSessionPresent() {
    return GraphicalSessionPresent(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_RUNTIME_DIR"),
                                   std::getenv("DISPLAY"), kSessionTimeout);
}

}  // namespace platform
