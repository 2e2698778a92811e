#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/scoped.h"
#include "vlregut/store.h"

namespace vlregut {
namespace {

constexpr std::string_view kStoreFile = "/vlregut/registry.ini";
// Only the store makes names like this, so only such files are ever cleaned up as temporaries.
constexpr std::string_view kTemporaryMark = ".vlregut-";
// A registry holds a handful of folders; anything this large is not one.
constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;
constexpr mode_t kUserMode = 0600;
constexpr mode_t kSystemMode = 0644;

std::string Describe(const std::string& path, std::string_view what, int error) {
    return path + ": " + std::string(what) + ": " + std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

std::vector<std::string> SystemFolders() {
    std::vector<std::string> folders;
    const char* list = std::getenv("XDG_CONFIG_DIRS");
    for (std::string_view rest = list != nullptr ? list : ""; !rest.empty();) {
        const auto colon = rest.find(':');
        const auto folder = rest.substr(0, colon);
        // The XDG rules make relative entries invalid; they are skipped like empty ones.
        if (folder.starts_with('/')) {
            folders.emplace_back(folder);
        }
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    }
    if (folders.empty()) {
        folders.emplace_back("/etc/xdg");
    }
    return folders;
}

bool LayerPath(Layer layer, std::string& path, std::string& error) {
    if (layer == Layer::User) {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        if (config != nullptr && config[0] == '/') {
            path = config;
        } else if (home != nullptr && home[0] == '/') {
            path = std::string(home) + "/.config";
        } else {
            error = "cannot locate the user's configuration folder: ";
            error += home == nullptr ? "HOME is not set"
                     : home[0] == 0  ? "HOME is empty"
                                     : "HOME is not an absolute path: " + std::string(home);
            return false;
        }
        path += kStoreFile;
        return true;
    }
    const auto folders = SystemFolders();
    for (const auto& folder : folders) {
        path = folder + std::string(kStoreFile);
        struct stat info;
        // Only absence passes over a folder, so that an unreadable file is reported, not hidden.
        if (::stat(path.c_str(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR)) {
            return true;
        }
    }
    // The last folder is the system's own; desktops put their extra folders before it.
    path = folders.back() + std::string(kStoreFile);
    return true;
}

struct Loaded {
    ini::Document doc;
    bool exists = false;
    struct stat info {};
};

bool ReadText(const std::string& path, ini::Text& text, Loaded& loaded, std::string& error) {
    // Without O_NONBLOCK a FIFO in the store's place would hold the open for ever.
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0) {
        if (errno == ENOENT) {
            return true;
        }
        error = Describe(path, "cannot open", errno);
        return false;
    }
    loaded.exists = true;
    if (::fstat(fd.Get(), &loaded.info) != 0) {
        error = Describe(path, "cannot read", errno);
        return false;
    }
    if (!S_ISREG(loaded.info.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    // Read straight into the text, in one call for a file whose size stat tells; a file that
    // grows meanwhile is read on to its end all the same.
    const auto stated = static_cast<std::size_t>(std::max<off_t>(loaded.info.st_size, 0));
    text.resize(std::min(stated, kMaxFileSize) + 1);
    std::size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            text.resize(std::min(2 * size, kMaxFileSize + 1));
        }
        const ssize_t count = ::read(fd.Get(), text.data() + size, text.size() - size);
        if (count == 0) {
            text.resize(size);
            return true;
        }
        if (count < 0 && errno != EINTR) {
            error = Describe(path, "cannot read", errno);
            return false;
        }
        size += static_cast<std::size_t>(std::max<ssize_t>(count, 0));
        if (size > kMaxFileSize) {
            error = path + ": larger than 1 MiB";
            return false;
        }
    }
}

bool ParseText(const std::string& path, ini::Text&& text, ini::Document& doc, std::string& error) {
    if (const auto fault = ini::Parse(std::move(text), doc)) {
        error = path + ":" + std::to_string(fault->line) + ": " + fault->message;
        return false;
    }
    return true;
}

// A missing file loads as an empty layer.
bool Load(const std::string& path, Loaded& loaded, std::string& error) {
    ini::Text text;
    return ReadText(path, text, loaded, error) &&
           ParseText(path, std::move(text), loaded.doc, error);
}

// The last layer parsed from each place. One help session reads the same layers several times;
// bytes equal to those parsed before need not be parsed again, and comparing them costs far less.
struct Parsed {
    std::string path;
    Store::Snapshot doc;
};
std::mutex parsedMutex;
Parsed lastParsed[2];  // by Layer

bool LoadSnapshot(Layer layer, const std::string& path, Store::Snapshot& doc, std::string& error) {
    ini::Text text;
    Loaded loaded;
    if (!ReadText(path, text, loaded, error)) {
        return false;
    }
    const std::lock_guard lock(parsedMutex);
    Parsed& last = lastParsed[static_cast<int>(layer)];
    if (last.doc == nullptr || last.path != path ||
        ini::Source(*last.doc) != std::string_view(text.data(), text.size())) {
        if (!ParseText(path, std::move(text), loaded.doc, error)) {
            return false;
        }
        last = {path, std::make_shared<ini::Document>(std::move(loaded.doc))};
    }
    doc = last.doc;
    return true;
}

// New folders get exactly `mode`, whatever the umask.
bool MakeFolders(const std::string& folder, mode_t mode, std::string& error) {
    for (auto slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (::mkdir(prefix.c_str(), mode) == 0) {
            if (::chmod(prefix.c_str(), mode) != 0) {
                error = Describe(prefix, "cannot set the mode of the new folder", errno);
                return false;
            }
        } else if (errno != EEXIST) {
            // Existing folders may refuse mkdir with another error, e.g. on a read-only mount.
            const int failure = errno;
            struct stat info;
            if (::stat(prefix.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                error = Describe(prefix, "cannot create folder", failure);
                return false;
            }
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// A store that is a symbolic link is written through to its final target, so that the link
// stays. Relative targets are taken from the link's folder.
bool ResolveLinks(std::string& path, std::string& error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
        if (size < 0 || static_cast<std::size_t>(size) >= target.size()) {
            error = Describe(path, "cannot read the link", size < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        target.resize(static_cast<std::size_t>(size));
        path = target.starts_with('/') ? target : FolderOf(path) + "/" + target;
    }
    error = Describe(path, "cannot follow the link", ELOOP);
    return false;
}

// Waits for the lock in the kernel's queue, which hands it on the moment it is free (a loop of
// tries would let a writer back for its next write overtake those that wait), for at most
// kLockWait. flock has no timeout, so the wait runs on a thread of its own with a descriptor of
// its own; a wait given up leaves that thread to release the lock as soon as it gets it.
// 0 when locked, EWOULDBLOCK when the wait ran out, otherwise the error.
int WaitForLock(int fd) {
    struct Wait {
        std::mutex mutex;
        std::condition_variable finished;
        bool over = false;
        bool abandoned = false;
        int error = 0;
    };
    const int waitFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (waitFd < 0) {
        return errno;
    }
    auto wait = std::make_shared<Wait>();
    std::thread waiter;
    try {
        waiter = std::thread([wait, waitFd] {
            int error = 0;
            do {
                error = ::flock(waitFd, LOCK_EX) == 0 ? 0 : errno;
            } while (error == EINTR);
            const std::lock_guard lock(wait->mutex);
            if (wait->abandoned && error == 0) {
                ::flock(waitFd, LOCK_UN);
            }
            ::close(waitFd);
            wait->over = true;
            wait->error = error;
            wait->finished.notify_all();
        });
    } catch (...) {
        ::close(waitFd);
        return EAGAIN;
    }
    waiter.detach();
    std::unique_lock lock(wait->mutex);
    if (!wait->finished.wait_for(lock, kLockWait, [&] { return wait->over; })) {
        wait->abandoned = true;
        return EWOULDBLOCK;
    }
    return wait->error;
}

// The lock sits beside the store because the store itself is replaced on every write.
int LockExclusive(const std::string& path, std::string& error) {
    const std::string lockPath = path + ".lock";
    platform::UniqueFd fd(
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600));
    if (fd.Get() < 0) {
        error = Describe(lockPath, "cannot open lock", errno);
        return -1;
    }
    int failure = 0;
    do {
        failure = ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
    } while (failure == EINTR);
    if (failure == EWOULDBLOCK) {
        failure = WaitForLock(fd.Get());
    }
    if (failure == EWOULDBLOCK) {
        error = lockPath + ": another process holds the lock; gave up after " +
                std::to_string(kLockWait.count()) + " seconds";
        return -1;
    }
    if (failure != 0) {
        error = Describe(lockPath, "cannot lock", failure);
        return -1;
    }
    return fd.Release();
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t count = ::write(fd, text.data(), text.size());
        if (count < 0 && errno != EINTR) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    platform::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Get() >= 0 && ::fsync(fd.Get()) == 0;
}

std::string TemporaryPrefix(const std::string& path) {
    const std::string folder = FolderOf(path);
    return folder + "/." + path.substr(folder.size() + 1) + std::string(kTemporaryMark);
}

// The new file keeps the old one's owner, group and mode; whichever cannot be kept (only root may
// give a file away) is named rather than silently changed.
bool KeepOwnership(int fd, const std::string& path, const struct stat& old, std::string& error) {
    const auto cannotKeep = [&](const std::string& what) {
        error = Describe(path, "cannot save: cannot keep its " + what, errno);
        return false;
    };
    struct stat created;
    if (::fstat(fd, &created) != 0) {
        return cannotKeep("owner, group and mode (fstat)");
    }
    if (created.st_uid != old.st_uid && ::fchown(fd, old.st_uid, -1) != 0) {
        return cannotKeep("owner (uid " + std::to_string(old.st_uid) + ")");
    }
    if (created.st_gid != old.st_gid && ::fchown(fd, -1, old.st_gid) != 0) {
        return cannotKeep("group (gid " + std::to_string(old.st_gid) + ")");
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(old.st_mode & 07777));
        return cannotKeep("mode (" + std::string(mode) + ")");
    }
    return true;
}

// Readers never lock: they see the old file or the new one, never a mix.
bool ReplaceFile(const std::string& path, std::string_view text, const Loaded& old, mode_t newMode,
                 std::string& error) {
    std::string temporary = TemporaryPrefix(path) + "XXXXXX";
    platform::UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
        error = Describe(path, "cannot save (mkstemp)", errno);
        return false;
    }
    if (old.exists && !KeepOwnership(fd.Get(), path, old.info, error)) {
        ::unlink(temporary.c_str());
        return false;
    }
    const char* step = nullptr;
    if (!old.exists && ::fchmod(fd.Get(), newMode) != 0) {
        step = "fchmod";
    } else if (!WriteAll(fd.Get(), text)) {
        step = "write";
    } else if (::fsync(fd.Get()) != 0) {
        step = "fsync";
    } else if (::close(fd.Release()) != 0) {
        step = "close";
    } else if (::rename(temporary.c_str(), path.c_str()) != 0) {
        step = "rename";
    }
    if (step != nullptr) {
        error = Describe(path, "cannot save (" + std::string(step) + ")", errno);
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename is not durable until the folder is flushed, so this still fails the call.
    if (!SyncFolder(FolderOf(path))) {
        error = Describe(path, "cannot save (fsync of folder)", errno);
        return false;
    }
    return true;
}

// Writers make temporaries only while they hold the lock, so under the lock any temporary left
// beside the store belongs to a writer that died mid-write.
void RemoveAbandonedTemporaries(const std::string& path) {
    const std::string folder = FolderOf(path);
    const std::string prefix = TemporaryPrefix(path).substr(folder.size() + 1);
    const platform::Scoped<DIR, ::closedir> dir(::opendir(folder.c_str()));
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        const bool temporary =
            name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
        if (temporary) {
            ::unlink((folder + "/" + std::string(name)).c_str());
        }
    }
}

class PosixStore final : public Store {
  public:
    Result Read(Layer layer, Snapshot& doc) override {
        std::string path;
        std::string error;
        // Without a home folder the user's layer reads as empty; only writing it fails.
        if (!LayerPath(layer, path, error)) {
            doc = std::make_shared<ini::Document>();
            return {};
        }
        return LoadSnapshot(layer, path, doc, error) ? Result{} : Failure(error);
    }

    Result Update(Layer layer, const Edit& edit) override {
        std::string error;
        return Write(layer, edit, error) ? Result{} : Failure(error);
    }

    std::string Location(Layer layer, std::string_view /*product*/) override {
        std::string path;
        std::string error;
        return LayerPath(layer, path, error) ? path : std::string();
    }

  private:
    static bool Write(Layer layer, const Edit& edit, std::string& error) {
        std::string path;
        if (!LayerPath(layer, path, error)) {
            return false;
        }
        const bool user = layer == Layer::User;
        if (!MakeFolders(FolderOf(path), user ? 0700 : 0755, error) || !ResolveLinks(path, error)) {
            return false;
        }
        const platform::UniqueFd lock(LockExclusive(path, error));
        Loaded current;
        if (lock.Get() < 0 || !Load(path, current, error)) {
            return false;
        }
        RemoveAbandonedTemporaries(path);
        if (!edit(current.doc)) {
            return true;
        }
        // Readers refuse a file this large, so writing it would lock everyone out of the store.
        const std::string text = ini::Serialise(current.doc);
        if (text.size() > kMaxFileSize) {
            error = path + ": cannot save: it would be larger than 1 MiB";
            return false;
        }
        return ReplaceFile(path, text, current, user ? kUserMode : kSystemMode, error);
    }
};

}  // namespace

std::unique_ptr<Store> OpenDefaultStore() {
    return std::make_unique<PosixStore>();
}

void Diagnose(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

const char* LayerLocations() {
    return "The user's layer is $XDG_CONFIG_HOME/vlregut/registry.ini (default\n"
           "~/.config/vlregut/registry.ini); the machine-wide layer is vlregut/registry.ini in\n"
           "the first folder of $XDG_CONFIG_DIRS (default /etc/xdg) that has one, or else in\n"
           "the last folder of that list.\n";
}

}  // namespace vlregut
