#include "platform/posix/file_system.h"

#include <dirent.h>
#include <unistd.h>

#include <cstring>

#include "platform/crt.h"
#include "platform/posix/scoped.h"

namespace platform {

namespace {

bool CopyPart(char* destination, std::size_t capacity, const char* begin, const char* end) {
    const auto length = static_cast<std::size_t>(end - begin);
    if (length >= capacity) {
        return false;
    }
    std::memcpy(destination, begin, length);
    destination[length] = '\0';
    return true;
}

}  // namespace

// The name is already lower case and the folder must keep its case: the file system tells the
// two spellings apart.
void PosixFileSystem::FoldCase(CString& /*joinedPath*/) const {}

int PosixFileSystem::Access(const char* path) const {
    return ::access(path, F_OK) == 0 ? 0 : -1;
}

CString PosixFileSystem::NameOnDisk(const CString& path) const {
    const std::size_t slash = path.rfind('/');
    const CString folder = slash == CString::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const CString prefix = slash == CString::npos ? "" : path.substr(0, slash + 1);
    const CString name = path.substr(slash == CString::npos ? 0 : slash + 1);
    if (name.empty() || ::access(path.c_str(), F_OK) == 0) {
        return path;
    }
    const Scoped<DIR, ::closedir> directory(::opendir(folder.c_str()));
    if (directory == nullptr) {
        return path;
    }
    // Of several spellings, the first in byte order, so that every run picks the same file.
    CString match;
    while (const dirent* entry = ::readdir(directory.get())) {
        if (_stricmp(entry->d_name, name.c_str()) == 0 &&
            (match.empty() || std::strcmp(entry->d_name, match.c_str()) < 0)) {
            match = entry->d_name;
        }
    }
    return match.empty() ? path : prefix + match;
}

bool PosixFileSystem::SplitPath(const char* path, char* drive, char* dir, char* fname,
                                char* ext) const {
    const char* end = path + std::strlen(path);
    const char* slash = std::strrchr(path, '/');
    const char* nameBegin = slash == nullptr ? path : slash + 1;
    const char* dot = std::strrchr(nameBegin, '.');
    const char* extBegin = dot == nullptr ? end : dot;
    return CopyPart(drive, kMaxDrive, path, path) && CopyPart(dir, kMaxDir, path, nameBegin) &&
           CopyPart(fname, kMaxFname, nameBegin, extBegin) && CopyPart(ext, kMaxExt, extBegin, end);
}

}  // namespace platform
