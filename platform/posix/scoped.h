// Owners of the C library's handles (the help module and the install registry alike): each is
// released once, on every path out of its scope. GLib's own g_autoptr and g_autofree do the same
// for GLib's objects and strings.
#pragma once

#include <spawn.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace platform {

// A file descriptor, closed with its owner; -1 owns nothing.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ~UniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Hands the descriptor over: the owner no longer closes it.
    int Release() { return std::exchange(m_fd, -1); }
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

  private:
    int m_fd;
};

// A pointer released by the C function that goes with it, e.g. Scoped<DIR, closedir>.
template <auto Release>
struct ReleaseWith {
    template <typename T>
    void operator()(T* object) const {
        Release(object);
    }
};
template <typename T, auto Release>
using Scoped = std::unique_ptr<T, ReleaseWith<Release>>;

// posix_spawn's file actions, destroyed with their owner.
class SpawnFileActions {
  public:
    SpawnFileActions() { ::posix_spawn_file_actions_init(&m_actions); }
    ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&m_actions); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    posix_spawn_file_actions_t* Get() { return &m_actions; }

  private:
    posix_spawn_file_actions_t m_actions;
};

}  // namespace platform
