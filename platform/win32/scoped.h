// Owners of what the Windows side takes from the system: each is released once, on every path
// out of its scope.
#pragma once

#include <windows.h>
// after windows.h, which it builds on
#include <objbase.h>

namespace platform {

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
