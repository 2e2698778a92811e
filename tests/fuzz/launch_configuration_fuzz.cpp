// Reading the launch-configuration and document-name files through the real POSIX file layer:
// every field holds no line feed and is text that was read, within the first 1024 bytes.
//
// The input is the launch-configuration file, and after the first "%%%%" the document-name file
// (absent without one). Both are written to a private folder, which is the current directory
// during the read, so that the document-name file the configuration names resolves inside it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "platform/posix/file_system.h"
#include "platform/posix/gio_shell.h"
#include "platform/services.h"
#include "tests/fuzz/check.h"

namespace {

constexpr std::string_view kNamesMarker = "%%%%";
constexpr char kConfigName[] = "help.cfg";
constexpr char kNamesName[] = "names.txt";
constexpr std::size_t kReadLimit = 1024;
constexpr std::string_view kDefaultDocFile = "DOCS.PDF";

// What the module takes of a file: its first 1024 bytes, ending at the first NUL.
std::string_view TextRead(std::string_view bytes) {
    bytes = bytes.substr(0, kReadLimit);
    return bytes.substr(0, bytes.find('\0'));
}

bool HoldsLineFeed(const CString& field) {
    return field.find('\n') != CString::npos;
}

// Overwrites in place and then cuts to size: emptying a file before writing it makes some file
// systems flush it on close, which would slow every run down to the disk's pace.
void WriteFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::pwrite(fd, bytes.data() + written, bytes.size() - written,
                                       static_cast<off_t>(written));
        FUZZ_CHECK(count > 0);
        written += static_cast<std::size_t>(count);
    }
    FUZZ_CHECK(::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0);
    FUZZ_CHECK(::close(fd) == 0);
}

// The real platform layer, less the user interface, and the files, made once and reused.
class Session {
  public:
    Session() {
        platform::Install({nullptr, &m_shell, &m_files});
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                              "/suitehelp-fuzz-files-XXXXXX";
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        m_folder = pattern;
        m_home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        FUZZ_CHECK(m_home >= 0);
        // With no arguments the session reads nothing and, without a product, stops there.
        m_window = std::make_unique<CMainWindow>("");
    }

    ~Session() {
        std::remove(Path(kConfigName).c_str());
        std::remove(Path(kNamesName).c_str());
        ::rmdir(m_folder.c_str());
        ::close(m_home);
    }

    std::string Path(const char* name) const { return m_folder + "/" + name; }

    CMainWindow& Read(std::string_view config, const std::string_view* names) {
        WriteFile(Path(kConfigName), config);
        if (names != nullptr) {
            WriteFile(Path(kNamesName), *names);
        } else {
            std::remove(Path(kNamesName).c_str());
        }
        FUZZ_CHECK(::chdir(m_folder.c_str()) == 0);
        char option[] = "-vellum";
        char path[] = "help.cfg";
        char* arguments[] = {option, path};
        m_window->ReadLaunchConfiguration(arguments, 2);
        FUZZ_CHECK(::fchdir(m_home) == 0);
        return *m_window;
    }

  private:
    platform::PosixFileSystem m_files;
    platform::GioShell m_shell;
    std::string m_folder;
    int m_home = -1;
    std::unique_ptr<CMainWindow> m_window;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Session session;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t marker = input.find(kNamesMarker);
    const std::string_view config = input.substr(0, marker);
    const std::string_view names = marker == std::string_view::npos
                                       ? std::string_view{}
                                       : input.substr(marker + kNamesMarker.size());

    // A document-name file outside the private folder would be some file of the machine.
    const std::string_view configText = TextRead(config);
    if (configText.substr(0, configText.find('\n')).find('/') != std::string_view::npos) {
        return -1;
    }

    const CMainWindow& window =
        session.Read(config, marker == std::string_view::npos ? nullptr : &names);

    // The configuration's fields: its first line, and a later one for the product.
    FUZZ_CHECK(!HoldsLineFeed(window.m_strDocNameFile));
    FUZZ_CHECK(!HoldsLineFeed(window.m_strProductId));
    FUZZ_CHECK(configText.starts_with(window.m_strDocNameFile));
    FUZZ_CHECK(configText.find(window.m_strProductId) != std::string_view::npos);
    FUZZ_CHECK(window.m_strProductId.empty() ||
               std::count(configText.begin(), configText.end(), '\n') >= 2);

    // The document name: the first line of the file the configuration names, when it can be
    // read and is not empty; otherwise the default.
    std::string_view docNameText;
    bool readable = false;
    if (window.m_strDocNameFile == kConfigName) {
        docNameText = configText;
        readable = true;
    } else if (window.m_strDocNameFile == kNamesName && marker != std::string_view::npos) {
        docNameText = TextRead(names);
        readable = true;
    }
    FUZZ_CHECK(!HoldsLineFeed(window.m_strDocFile));
    if (readable && !docNameText.empty()) {
        FUZZ_CHECK(docNameText.starts_with(window.m_strDocFile));
    } else {
        FUZZ_CHECK(window.m_strDocFile == kDefaultDocFile);
    }
    return 0;
}
