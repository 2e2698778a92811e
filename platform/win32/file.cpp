#include <windows.h>

#include "platform/file.h"

namespace {

CFileException::Cause CauseOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return CFileException::fileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return CFileException::badPath;
        case ERROR_ACCESS_DENIED:
            return CFileException::accessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return CFileException::sharingViolation;
        default:
            return CFileException::genericException;
    }
}

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

CFile::~CFile() {
    Abort();
}

void CFile::Open(const char* path, unsigned /*flags*/) {
    // No sharing: the open fails while another process holds the file, and nobody else can open
    // it while it is read. A path may name a pipe: its server gets no right to act as this user.
    const HANDLE handle =
        ::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw CFileException(CauseOf(::GetLastError()));
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    // Only a disk file is read: a pipe, console or device (NUL, COM1) could keep a read waiting
    // for ever.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        Abort();
        throw CFileException(CFileException::accessDenied);
    }
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
    DWORD got = 0;
    if (!::ReadFile(AsHandle(m_handle), buffer, static_cast<DWORD>(count), &got, nullptr)) {
        throw CFileException(CauseOf(::GetLastError()));
    }
    return got;
}

void CFile::Close() {
    const HANDLE handle = AsHandle(m_handle);
    m_handle = -1;
    if (handle != INVALID_HANDLE_VALUE && !::CloseHandle(handle)) {
        throw CFileException(CFileException::genericException);
    }
}

void CFile::Abort() {
    if (m_handle != -1) {
        ::CloseHandle(AsHandle(m_handle));
        m_handle = -1;
    }
}
