#include "platform/posix/graphical_session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/scoped.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// The events that came before the deadline.
short PollUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready >= 0 || errno != EINTR) {
            return ready > 0 ? entry.revents : 0;
        }
    }
}

class Connection {
  public:
    // Connects without blocking beyond the deadline.
    Connection(const sockaddr* address, socklen_t length, Clock::time_point deadline)
        : m_fd(::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
        if (!m_fd.Valid() || ::connect(m_fd.Get(), address, length) == 0) {
            return;
        }
        int error = errno;
        if (error == EINPROGRESS && (PollUntil(m_fd.Get(), POLLOUT, deadline) & POLLOUT) != 0) {
            socklen_t size = sizeof error;
            ::getsockopt(m_fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size);
        }
        if (error != 0) {
            m_fd.Reset();
        }
    }

    bool Connected() const { return m_fd.Valid(); }

    // Whether an X server answers the connection setup before the deadline. Any answer counts,
    // a refusal for want of authorization too: the server is alive, and the toolkit brings the
    // authorization.
    bool XServerAnswers(Clock::time_point deadline) const {
        // Little-endian setup for protocol 11.0, without authorization.
        const unsigned char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        unsigned char answer = 0;
        return Connected() &&
               ::send(m_fd.Get(), setup, sizeof setup, MSG_NOSIGNAL) == sizeof setup &&
               (PollUntil(m_fd.Get(), POLLIN, deadline) & POLLIN) != 0 &&
               ::recv(m_fd.Get(), &answer, 1, 0) == 1;
    }

  private:
    UniqueFd m_fd;
};

// A unix socket's address; abstract names are the Linux namespace that X servers also use.
bool UnixAddress(const std::string& path, bool abstract, sockaddr_un* address, socklen_t* length) {
    *address = {};
    address->sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.empty() || offset + path.size() >= sizeof address->sun_path) {
        return false;
    }
    std::memcpy(address->sun_path + offset, path.data(), path.size());
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() +
                                     (abstract ? 0 : 1));
    return true;
}

bool WaylandAnswers(const char* display, const char* runtimeDir, Clock::time_point deadline) {
    if (display == nullptr || *display == '\0') {
        return false;
    }
    std::string path = display;
    if (path.front() != '/') {
        if (runtimeDir == nullptr || *runtimeDir == '\0') {
            return false;
        }
        path = std::string(runtimeDir) + "/" + path;
    }
    sockaddr_un address;
    socklen_t length;
    return UnixAddress(path, false, &address, &length) &&
           Connection(reinterpret_cast<sockaddr*>(&address), length, deadline).Connected();
}

bool XServerOnUnixSocket(const std::string& number, Clock::time_point deadline) {
    const std::string path = "/tmp/.X11-unix/X" + number;
    for (const bool abstract : {false, true}) {
        sockaddr_un address;
        socklen_t length;
        if (UnixAddress(path, abstract, &address, &length) &&
            Connection(reinterpret_cast<sockaddr*>(&address), length, deadline)
                .XServerAnswers(deadline)) {
            return true;
        }
    }
    return false;
}

// A numeric address; false for a name, whose lookup could not be bounded.
bool NumericAddress(const std::string& host, int port, sockaddr_storage* address,
                    socklen_t* length) {
    *address = {};
    auto* v4 = reinterpret_cast<sockaddr_in*>(address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(address);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        *length = sizeof *v4;
        return true;
    }
    if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        *length = sizeof *v6;
        return true;
    }
    return false;
}

bool XServerOnTcp(const std::string& host, int port, Clock::time_point deadline) {
    const std::vector<std::string> addresses = host == "localhost"
                                                   ? std::vector<std::string>{"127.0.0.1", "::1"}
                                                   : std::vector<std::string>{host};
    for (const std::string& numeric : addresses) {
        sockaddr_storage address;
        socklen_t length;
        if (NumericAddress(numeric, port, &address, &length) &&
            Connection(reinterpret_cast<sockaddr*>(&address), length, deadline)
                .XServerAnswers(deadline)) {
            return true;
        }
    }
    return false;
}

// DISPLAY is [protocol/][host]:number[.screen].
bool XServerAnswers(const char* display, Clock::time_point deadline) {
    const std::string_view name = display == nullptr ? "" : display;
    const std::size_t colon = name.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view afterColon = name.substr(colon + 1);
    const std::string number(afterColon.substr(0, afterColon.find('.')));
    if (number.empty() || number.size() > 4 ||
        number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    std::string_view host = name.substr(0, colon);
    std::string_view protocol;
    if (const std::size_t slash = host.rfind('/'); slash != std::string_view::npos) {
        protocol = host.substr(0, slash);
        host = host.substr(slash + 1);
    }
    if (protocol == "unix" || (protocol.empty() && (host.empty() || host == "unix"))) {
        return XServerOnUnixSocket(number, deadline);
    }
    return XServerOnTcp(std::string(host), 6000 + std::stoi(number), deadline);
}

}  // namespace

bool GraphicalSessionPresent(const char* waylandDisplay, const char* runtimeDir,
                             const char* display, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    return WaylandAnswers(waylandDisplay, runtimeDir, deadline) ||
           XServerAnswers(display, deadline);
}

bool GraphicalSessionPresent() {
    return GraphicalSessionPresent(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_RUNTIME_DIR"),
                                   std::getenv("DISPLAY"), kSessionTimeout);
}

}  // namespace platform
