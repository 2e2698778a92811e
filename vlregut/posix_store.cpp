#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/scoped.h"
#include "platform/printable.h"
#include "vlregut/names.h"
#include "vlregut/store.h"

namespace vlregut {
namespace {

constexpr std::string_view kStoreFolder = "vlregut";
constexpr std::string_view kStoreName = "registry.ini";
// Only the store makes names like this, so only such files are ever cleaned up as temporaries.
constexpr std::string_view kTemporaryMark = ".vlregut-";
constexpr std::size_t kTemporaryLetters = 6;  // after the mark, as mkstemp's
// A registry holds a handful of folders; anything this large is not one.
constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;
constexpr mode_t kUserMode = 0600;
constexpr mode_t kSystemMode = 0644;
// Where Linux keeps a file's POSIX access ACL; copied whole, it needs no ACL library.
constexpr const char* kAccessAcl = "system.posix_acl_access";
// Links followed in one walk, as the kernel's own bound.
constexpr int kMostLinks = 40;
// Our own refusals, told apart from the system's errors.
constexpr int kRefused = -1;

std::string Describe(const std::string& path, std::string_view what, int error) {
    return path + ": " + std::string(what) + ": " + std::strerror(error);
}

// "ann (uid 1000)", or "uid 1000" for an account without a name.
std::string Account(uid_t uid) {
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[1024];
    const std::string id = "uid " + std::to_string(uid);
    return ::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr
               ? found->pw_name + (" (" + id + ")")
               : id;
}

// What root or this user made is trusted; another account's files and links may be planted.
bool Trusted(uid_t owner) {
    return owner == 0 || owner == ::geteuid();
}

std::string NotOurs(const std::string& path, uid_t owner) {
    return path + ": belongs to " + Account(owner) + ", not to this user";
}

// The target of a link that may be followed: one of root or this user, the rule of
// fs.protected_symlinks, so that no other account can steer a walk.
int ReadLink(int at, const std::string& name, const std::string& shown, uid_t owner, int& links,
             std::string& target, std::string& error) {
    if (++links > kMostLinks) {
        error = Describe(shown, "cannot follow the link", ELOOP);
        return ELOOP;
    }
    if (!Trusted(owner)) {
        error = shown + ": not following a link of " + Account(owner);
        return kRefused;
    }
    target.assign(PATH_MAX, '\0');
    const ssize_t size = ::readlinkat(at, name.c_str(), target.data(), target.size());
    if (size < 0 || size >= PATH_MAX) {
        const int failure = size < 0 ? errno : ENAMETOOLONG;
        error = Describe(shown, "cannot read the link", failure);
        return failure;
    }
    target.resize(static_cast<std::size_t>(size));
    return 0;
}

// A new folder gets exactly `mode`, whatever the umask, and only inside a folder of root or this
// user: never one of this user's in another account's folder.
int MakeFolder(int at, const std::string& shown, const std::string& name, mode_t mode,
               std::string& error) {
    struct stat parent;
    if (::fstat(at, &parent) == 0 && !Trusted(parent.st_uid)) {
        error = NotOurs(shown, parent.st_uid);
        return kRefused;
    }
    if (::mkdirat(at, name.c_str(), mode) != 0) {
        // One made meanwhile is opened and checked like any other.
        const int failure = errno == EEXIST ? 0 : errno;
        error = Describe(shown + "/" + name, "cannot create folder", failure);
        return failure;
    }
    const platform::UniqueFd folder(
        ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.Valid() || ::fchmod(folder.Get(), mode) != 0) {
        const int failure = errno;
        error = Describe(shown + "/" + name, "cannot set the mode of the new folder", failure);
        return failure;
    }
    return 0;
}

// Opens the folder `path` names, from the folder `at` (an absolute path from the root), one
// name at a time and following only links of root or this user; `shown` names `at` in messages,
// and then the folder opened. With `create`, missing folders are made with that mode. 0, or the
// errno (kRefused) of the failure that `error` describes.
int OpenFolder(int at, std::string& shown, std::string_view path, mode_t create,
               platform::UniqueFd& folder, std::string& error) {
    std::vector<std::string> pending;  // names still to walk, the next one last
    const auto push = [&](std::string_view names) {
        const auto first = static_cast<std::ptrdiff_t>(pending.size());
        for (std::string_view rest = names; !rest.empty();) {
            const auto slash = rest.find('/');
            if (const auto name = rest.substr(0, slash); !name.empty() && name != ".") {
                pending.emplace_back(name);
            }
            rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
        }
        std::reverse(pending.begin() + first, pending.end());
    };
    push(path);
    platform::UniqueFd current(
        ::openat(at, path.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    shown = path.starts_with('/') ? "" : shown;
    for (int links = 0; !pending.empty();) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        const std::string here = shown + "/" + name;
        const auto open = [&] {
            return ::openat(current.Get(), name.c_str(),
                            O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        };
        int fd = open();
        int failure = fd < 0 ? errno : 0;
        if (failure == ENOENT && create != 0) {
            failure = MakeFolder(current.Get(), shown, name, create, error);
            if (failure != 0) {
                return failure;
            }
            fd = open();
            failure = fd < 0 ? errno : 0;
        }
        struct stat link;
        if ((failure == ENOTDIR || failure == ELOOP) &&
            ::fstatat(current.Get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(link.st_mode)) {
            std::string target;
            failure = ReadLink(current.Get(), name, here, link.st_uid, links, target, error);
            if (failure != 0) {
                return failure;
            }
            if (target.starts_with('/')) {
                current.Reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                shown.clear();
            }
            push(target);
            continue;
        }
        if (failure != 0) {
            error = Describe(here, "cannot open", failure);
            return failure;
        }
        current.Reset(fd);
        shown = here;
    }
    folder = std::move(current);
    return 0;
}

// Why a folder may not hold the machine-wide layer, or nothing when it may: it must belong to
// root or this user, and no one else may write to it.
std::string Distrust(int folder) {
    struct stat info;
    if (::fstat(folder, &info) != 0) {
        return std::strerror(errno);
    }
    if (!Trusted(info.st_uid)) {
        return "belongs to " + Account(info.st_uid);
    }
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 ? "others may write to it" : "";
}

// Told once per process rather than at every read.
void PassOver(const std::string& folder, const std::string& why) {
    static std::mutex mutex;
    static std::set<std::string> told;
    const std::lock_guard lock(mutex);
    if (told.insert(folder).second) {
        Diagnose("vlregut: " + folder + ": passed over for the machine-wide layer: " + why);
    }
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

// The configuration folder that holds the layer's store.
bool LayerBase(Layer layer, std::string& base, std::string& error) {
    if (layer == Layer::User) {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        if (config != nullptr && config[0] == '/') {
            base = config;
        } else if (home != nullptr && home[0] == '/') {
            base = std::string(home) + "/.config";
        } else {
            error = "cannot locate the user's configuration folder: ";
            error += home == nullptr ? "HOME is not set"
                     : home[0] == 0  ? "HOME is empty"
                                     : "HOME is not an absolute path: " + std::string(home);
            return false;
        }
        return true;
    }
    base.clear();
    for (const auto& folder : SystemFolders()) {
        std::string shown;
        std::string why;
        platform::UniqueFd fd;
        const int failure = OpenFolder(AT_FDCWD, shown, folder, 0, fd, why);
        // Only absence passes over a folder, so that an unreadable file is reported, not hidden.
        struct stat info;
        const bool absent =
            failure == ENOENT || failure == ENOTDIR ||
            (failure == 0 && ::fstatat(fd.Get(), "vlregut/registry.ini", &info, 0) != 0 &&
             (errno == ENOENT || errno == ENOTDIR));
        if (failure == 0 ? !(why = Distrust(fd.Get())).empty() : failure == kRefused) {
            // Said only where it matters: desktops list folders of the user's that hold no store.
            if (!absent) {
                PassOver(folder, why);
            }
            continue;
        }
        base = folder;
        if (!absent) {
            return true;
        }
    }
    // The last folder is the system's own; desktops put their extra folders before it.
    error = "no folder of XDG_CONFIG_DIRS may hold the machine-wide layer";
    return !base.empty();
}

std::string StorePath(const std::string& base) {
    return base + "/" + std::string(kStoreFolder) + "/" + std::string(kStoreName);
}

// The store, in its folder opened: what the walk there checked holds for every step that follows,
// whatever is renamed or replaced meanwhile.
struct Opened {
    platform::UniqueFd folder;
    std::string name;
    std::string path;  // for messages
};

// Opens the layer's folder below `base`, making missing folders with `create` non-zero. A store
// that is a link is written through to its final target, beside which the lock and the
// temporaries go, so that the link stays. The machine-wide layer lives only in a folder that
// passes Distrust; a writer writes only a user's layer whose folder is its own. 0, or the errno
// (kRefused) of the failure that `error` describes.
int OpenStore(Layer layer, const std::string& base, mode_t create, Opened& store,
              std::string& error) {
    std::string shown;
    int failure = OpenFolder(AT_FDCWD, shown, base, create, store.folder, error);
    if (failure == 0 && layer == Layer::System) {
        if (const std::string why = Distrust(store.folder.Get()); !why.empty()) {
            error = shown + ": " + why;
            failure = kRefused;
        }
    }
    if (failure == 0) {
        failure = OpenFolder(store.folder.Get(), shown, kStoreFolder, create, store.folder, error);
    }
    struct stat info;
    if (failure == 0 && layer == Layer::User && create != 0 &&
        ::fstat(store.folder.Get(), &info) == 0 && info.st_uid != ::geteuid()) {
        error = NotOurs(shown, info.st_uid);
        failure = kRefused;
    }
    if (failure == kRefused && layer == Layer::User && create != 0) {
        error += "; write as that user, or use --system";
    }
    store.name = kStoreName;
    for (int links = 0; failure == 0;) {
        const int at = store.folder.Get();
        if (::fstatat(at, store.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(info.st_mode)) {
            break;
        }
        std::string target;
        failure =
            ReadLink(at, store.name, shown + "/" + store.name, info.st_uid, links, target, error);
        const auto slash = target.rfind('/');
        if (failure == 0 && slash != std::string::npos) {
            failure = OpenFolder(at, shown, target.substr(0, slash + 1), 0, store.folder, error);
        }
        store.name = target.substr(slash == std::string::npos ? 0 : slash + 1);
    }
    store.path = shown + "/" + store.name;
    // Writers list, flush and fchmod in the folder, which needs more than a path descriptor.
    if (failure == 0 && create != 0) {
        store.folder.Reset(::openat(store.folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!store.folder.Valid()) {
            failure = errno;
            error = Describe(shown, "cannot open", failure);
        }
    }
    return failure;
}

struct Loaded {
    ini::Document doc;
    bool exists = false;
    struct stat info {};
    platform::UniqueFd fd;  // the file read, whose ACL a rewrite keeps
};

bool ReadText(const Opened& store, ini::Text& text, Loaded& loaded, std::string& error) {
    // Without O_NONBLOCK a FIFO in the store's place would hold the open for ever.
    loaded.fd.Reset(::openat(store.folder.Get(), store.name.c_str(),
                             O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
    const int fd = loaded.fd.Get();
    if (fd < 0) {
        if (errno == ENOENT) {
            return true;
        }
        error = Describe(store.path, "cannot open", errno);
        return false;
    }
    loaded.exists = true;
    if (::fstat(fd, &loaded.info) != 0) {
        error = Describe(store.path, "cannot read", errno);
        return false;
    }
    if (!S_ISREG(loaded.info.st_mode)) {
        error = store.path + ": not a regular file";
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
        const ssize_t count = ::read(fd, text.data() + size, text.size() - size);
        if (count == 0) {
            text.resize(size);
            return true;
        }
        if (count < 0 && errno != EINTR) {
            error = Describe(store.path, "cannot read", errno);
            return false;
        }
        size += static_cast<std::size_t>(std::max<ssize_t>(count, 0));
        if (size > kMaxFileSize) {
            error = store.path + ": larger than 1 MiB";
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
bool Load(const Opened& store, Loaded& loaded, std::string& error) {
    ini::Text text;
    return ReadText(store, text, loaded, error) &&
           ParseText(store.path, std::move(text), loaded.doc, error);
}

// The last layer parsed from each place. One help session reads the same layers several times;
// bytes equal to those parsed before need not be parsed again, and comparing them costs far less.
struct Parsed {
    std::string path;
    Store::Snapshot doc;
};
std::mutex parsedMutex;
Parsed lastParsed[2];  // by Layer

bool LoadSnapshot(Layer layer, const std::string& base, Store::Snapshot& doc, std::string& error) {
    Opened store;
    ini::Text text;
    Loaded loaded;
    // A store below a missing folder is missing too.
    if (const int failure = OpenStore(layer, base, 0, store, error);
        failure != ENOENT && (failure != 0 || !ReadText(store, text, loaded, error))) {
        return false;
    }
    const std::lock_guard lock(parsedMutex);
    Parsed& last = lastParsed[static_cast<int>(layer)];
    if (last.doc == nullptr || last.path != store.path ||
        ini::Source(*last.doc) != std::string_view(text.data(), text.size())) {
        if (!ParseText(store.path, std::move(text), loaded.doc, error)) {
            return false;
        }
        last = {store.path, std::make_shared<ini::Document>(std::move(loaded.doc))};
    }
    doc = last.doc;
    return true;
}

// Waits for the lock in the kernel's queue, which hands it on the moment it is free (a loop of
// tries would let a writer back for its next write overtake those that wait), for at most
// `limit`. flock has no timeout, so the wait runs on a thread of its own with a descriptor of its
// own; a wait given up leaves that thread to release the lock as soon as it gets it (which is why
// the library is never unloaded). 0 when locked, EWOULDBLOCK when the wait ran out, otherwise the
// error.
int WaitForLock(int fd, std::chrono::steady_clock::duration limit) {
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
    if (!wait->finished.wait_for(lock, limit, [&] { return wait->over; })) {
        wait->abandoned = true;
        return EWOULDBLOCK;
    }
    return wait->error;
}

// The lock sits beside the store because the store itself is replaced on every write; it is
// never a link. A lock this call makes (`made`) takes the store's group and read-write bits, and
// its owner when root makes it, so that whoever may write the store can take it; a writer whose
// write then fails removes it while still holding it, and a writer that got a lock so removed
// tries again.
int LockExclusive(const Opened& store, mode_t newMode, bool& made, std::string& error) {
    const int folder = store.folder.Get();
    const std::string name = store.name + ".lock";
    const std::string path = store.path + ".lock";
    constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        platform::UniqueFd fd(::openat(folder, name.c_str(), kFlags | O_CREAT | O_EXCL, 0600));
        made = fd.Valid();
        struct stat like;
        if (made && ::fstatat(folder, store.name.c_str(), &like, AT_SYMLINK_NOFOLLOW) != 0) {
            like.st_mode = newMode;
            like.st_uid = static_cast<uid_t>(-1);
            like.st_gid = static_cast<gid_t>(-1);
        }
        if (made && (::fchown(fd.Get(), ::geteuid() == 0 ? like.st_uid : -1, like.st_gid) != 0 ||
                     ::fchmod(fd.Get(), like.st_mode & 0666) != 0)) {
            error = Describe(path, "cannot give the lock the store's group and mode", errno);
            ::unlinkat(folder, name.c_str(), 0);
            return -1;
        }
        if (!made && errno == EEXIST) {
            fd.Reset(::openat(folder, name.c_str(), kFlags));
        }
        if (!fd.Valid()) {
            error = Describe(path, "cannot open lock", errno);
            return -1;
        }
        int failure = 0;
        do {
            failure = ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
        } while (failure == EINTR);
        const auto left = deadline - std::chrono::steady_clock::now();
        if (failure == EWOULDBLOCK) {
            failure = left.count() > 0 ? WaitForLock(fd.Get(), left) : EWOULDBLOCK;
        }
        if (failure == EWOULDBLOCK) {
            error = path + ": another process holds the lock; gave up after " +
                    std::to_string(kLockWait.count()) + " seconds";
            return -1;
        }
        if (failure != 0) {
            error = Describe(path, "cannot lock", failure);
            return -1;
        }
        struct stat held;
        struct stat named;
        if (::fstat(fd.Get(), &held) == 0 &&
            ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            return fd.Release();
        }
    }
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

std::string TemporaryPrefix(const std::string& name) {
    return "." + name + std::string(kTemporaryMark);
}

// As mkstemp, in the open folder: the prefix and six letters or digits.
int MakeTemporary(const Opened& store, std::string& name) {
    constexpr std::string_view kChars =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryPrefix(store.name);
        for (std::size_t i = 0; i < kTemporaryLetters; ++i) {
            name += kChars[random() % kChars.size()];
        }
        const int fd = ::openat(store.folder.Get(), name.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// A copy of the access ACL of the file `from` on `to`. Without one, `to` must not keep one it
// took from its folder's default ACL either.
bool KeepAccessAcl(int from, int to) {
    const ssize_t size = ::fgetxattr(from, kAccessAcl, nullptr, 0);
    if (size < 0) {
        return (errno == ENODATA || errno == ENOTSUP) &&
               (::fremovexattr(to, kAccessAcl) == 0 || errno == ENODATA || errno == ENOTSUP);
    }
    std::string acl(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::fgetxattr(from, kAccessAcl, acl.data(), acl.size());
    return got >= 0 &&
           ::fsetxattr(to, kAccessAcl, acl.data(), static_cast<std::size_t>(got), 0) == 0;
}

// The new file keeps the old one's owner, group, mode and access ACL; whichever cannot be kept
// (only root may give a file away) is named rather than silently changed.
bool KeepOwnership(int fd, const std::string& path, const Loaded& old, std::string& error) {
    const auto cannotKeep = [&](const std::string& what) {
        error = Describe(path, "cannot save: cannot keep its " + what, errno);
        return false;
    };
    struct stat created;
    if (::fstat(fd, &created) != 0) {
        return cannotKeep("owner, group and mode (fstat)");
    }
    if (created.st_uid != old.info.st_uid && ::fchown(fd, old.info.st_uid, -1) != 0) {
        return cannotKeep("owner (uid " + std::to_string(old.info.st_uid) + ")");
    }
    if (created.st_gid != old.info.st_gid && ::fchown(fd, -1, old.info.st_gid) != 0) {
        return cannotKeep("group (gid " + std::to_string(old.info.st_gid) + ")");
    }
    if (::fchmod(fd, old.info.st_mode & 07777) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(old.info.st_mode & 07777));
        return cannotKeep("mode (" + std::string(mode) + ")");
    }
    // After the mode, which the ACL's mask would otherwise take from it.
    return KeepAccessAcl(old.fd.Get(), fd) || cannotKeep("access ACL");
}

// Readers never lock: they see the old file or the new one, never a mix.
bool ReplaceFile(const Opened& store, std::string_view text, const Loaded& old, mode_t newMode,
                 std::string& error) {
    const int folder = store.folder.Get();
    std::string temporary;
    platform::UniqueFd fd(MakeTemporary(store, temporary));
    if (fd.Get() < 0) {
        error = Describe(store.path, "cannot save (temporary file)", errno);
        return false;
    }
    if (old.exists && !KeepOwnership(fd.Get(), store.path, old, error)) {
        ::unlinkat(folder, temporary.c_str(), 0);
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
    } else if (::renameat(folder, temporary.c_str(), folder, store.name.c_str()) != 0) {
        step = "rename";
    }
    if (step != nullptr) {
        error = Describe(store.path, "cannot save (" + std::string(step) + ")", errno);
        ::unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    // The rename is not durable until the folder is flushed, so this still fails the call.
    if (::fsync(folder) != 0) {
        error = Describe(store.path, "cannot save (fsync of folder)", errno);
        return false;
    }
    return true;
}

// Writers make temporaries only while they hold the lock, so under the lock any temporary left
// beside the store belongs to a writer that died mid-write.
void RemoveAbandonedTemporaries(const Opened& store) {
    const std::string prefix = TemporaryPrefix(store.name);
    const platform::Scoped<DIR, ::closedir> dir(
        ::fdopendir(::openat(store.folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        const bool temporary =
            name.size() == prefix.size() + kTemporaryLetters && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
        if (temporary) {
            ::unlinkat(store.folder.Get(), entry->d_name, 0);
        }
    }
}

class PosixStore final : public Store {
  public:
    Result Read(Layer layer, Snapshot& doc) override {
        std::string base;
        std::string error;
        // Without a home folder the user's layer reads as empty; only writing it fails.
        if (!LayerBase(layer, base, error)) {
            doc = std::make_shared<ini::Document>();
            return {};
        }
        return LoadSnapshot(layer, base, doc, error) ? Result{} : Failure(error);
    }

    Result Update(Layer layer, const Edit& edit) override {
        std::string error;
        return Write(layer, edit, error) ? Result{} : Failure(error);
    }

    std::string Location(Layer layer, std::string_view /*product*/) override {
        std::string base;
        std::string error;
        return LayerBase(layer, base, error) ? StorePath(base) : std::string();
    }

  private:
    static bool Write(Layer layer, const Edit& edit, std::string& error) {
        const bool user = layer == Layer::User;
        const mode_t newMode = user ? kUserMode : kSystemMode;
        std::string base;
        Opened store;
        if (!LayerBase(layer, base, error) ||
            OpenStore(layer, base, user ? 0700 : 0755, store, error) != 0) {
            return false;
        }
        bool made = false;
        const platform::UniqueFd lock(LockExclusive(store, newMode, made, error));
        if (!lock.Valid()) {
            return false;
        }
        if (WriteLocked(store, edit, newMode, error)) {
            return true;
        }
        // Left behind, it could be a lock that the store's other writers may not open.
        if (made) {
            ::unlinkat(store.folder.Get(), (store.name + ".lock").c_str(), 0);
        }
        return false;
    }

    static bool WriteLocked(const Opened& store, const Edit& edit, mode_t newMode,
                            std::string& error) {
        Loaded current;
        if (!Load(store, current, error)) {
            return false;
        }
        RemoveAbandonedTemporaries(store);
        if (!edit(current.doc)) {
            return true;
        }
        // Readers refuse a file this large, so writing it would lock everyone out of the store.
        const std::string text = ini::Serialise(current.doc);
        if (text.size() > kMaxFileSize) {
            error = store.path + ": cannot save: it would be larger than 1 MiB";
            return false;
        }
        return ReplaceFile(store, text, current, newMode, error);
    }
};

}  // namespace

std::unique_ptr<Store> OpenDefaultStore() {
    return std::make_unique<PosixStore>();
}

bool StartsDoubleByte(unsigned char /*byte*/) {
    return false;
}

void Diagnose(std::string_view line) {
    const std::string shown = platform::Printable(line);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

const char* LayerLocations() {
    return "The user's layer is $XDG_CONFIG_HOME/vlregut/registry.ini (default\n"
           "~/.config/vlregut/registry.ini); the machine-wide layer is vlregut/registry.ini in\n"
           "the first folder of $XDG_CONFIG_DIRS (default /etc/xdg) that has one, or else in\n"
           "the last folder of that list; only folders of root or of the user at hand that no\n"
           "one else may write count.\n";
}

}  // namespace vlregut
