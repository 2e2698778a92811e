// Owners of what the Windows side takes from the system (the help module and the install registry
// alike): each is released once, on every path out of its scope.
#pragma once

#include <windows.h>
// after windows.h, which it builds on
#include <objbase.h>

namespace platform {

// A handle released with Close unless it is null; Out() lets a call that opens one fill it.
template <typename Handle, auto Close>
class Scoped {
  public:
    explicit Scoped(Handle handle = nullptr) : m_handle(handle) {}
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    ~Scoped() {
        if (m_handle != nullptr) {
            Close(m_handle);
        }
    }
    Handle Get() const { return m_handle; }
    Handle* Out() { return &m_handle; }

  private:
    Handle m_handle;
};

using ScopedKey = Scoped<HKEY, ::RegCloseKey>;
using ScopedHandle = Scoped<HANDLE, ::CloseHandle>;
// Memory that the system handed over to be freed with LocalFree.
using ScopedLocal = Scoped<HLOCAL, ::LocalFree>;

// A COM interface pointer, released with its owner.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (m_p != nullptr) {
            m_p->Release();
        }
    }
    T** operator&() { return &m_p; }
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }

  private:
    T* m_p = nullptr;
};

// COM on the calling thread for the owner's lifetime; left alone when the thread already has an
// apartment of another kind.
class ComApartment {
  public:
    explicit ComApartment(DWORD flags) : m_initialised(::CoInitializeEx(nullptr, flags)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(m_initialised)) {
            ::CoUninitialize();
        }
    }

  private:
    HRESULT m_initialised;
};

}  // namespace platform
