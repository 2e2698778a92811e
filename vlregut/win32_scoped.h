// Owners of the Win32 handles that the store opens: each releases its handle when it goes.
#pragma once

#include <windows.h>

namespace vlregut {

class ScopedKey {
  public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    HKEY Get() const { return m_key; }
    HKEY* Out() { return &m_key; }

  private:
    HKEY m_key = nullptr;
};

class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~ScopedHandle() {
        if (m_handle != nullptr) {
            CloseHandle(m_handle);
        }
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    HANDLE* Out() { return &m_handle; }

  private:
    HANDLE m_handle;
};

// Memory that the system handed over to be freed with LocalFree.
class ScopedLocal {
  public:
    explicit ScopedLocal(void* memory = nullptr) : m_memory(memory) {}
    ~ScopedLocal() { LocalFree(m_memory); }
    ScopedLocal(const ScopedLocal&) = delete;
    ScopedLocal& operator=(const ScopedLocal&) = delete;

  private:
    void* m_memory;
};

}  // namespace vlregut
