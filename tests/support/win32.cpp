#include "support/win32.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

namespace support {
namespace {

using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)>;

Key openKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    const bool open = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS;
    return Key(open ? handle : nullptr, &RegCloseKey);
}

}  // namespace

std::string windowsPath(const std::string& buildPath) {
    // Under Wine the build's paths are Unix paths, which a prefix shows under drive Z:.
    std::string path = buildPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path.starts_with('\\') ? path.insert(0, "Z:") : buildPath;
}

std::string quote(const std::string& argument) {
    // A run of backslashes is doubled only before a quote, the closing one included.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        quoted.append(c == '"' ? backslashes + 1 : 0, '\\') += c;
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    return quoted.append(backslashes, '\\') + "\"";
}

Process::Process(const std::string& program, const std::string& commandLine, HANDLE out,
                 HANDLE err) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = out != nullptr ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string line = commandLine;  // CreateProcessA may write to it
    if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, out != nullptr, 0, nullptr,
                       nullptr, &startup, &info_)) {
        CloseHandle(info_.hThread);
    } else {
        startError_ = GetLastError();
        info_ = {};
    }
}

Process::~Process() {
    if (started()) {
        if (!waitForExit(std::chrono::milliseconds(0))) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
    }
}

bool Process::waitForExit(std::chrono::milliseconds timeout) const {
    return started() && WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) ==
                            WAIT_OBJECT_0;
}

Outcome run(const std::string& program, const std::vector<std::string>& args) {
    const TempFolder folder("support-run");
    std::string line = quote(program);
    for (const std::string& arg : args) {
        line.append(" ").append(quote(arg));
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&](const char* name) {
        return CreateFileA((folder / name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, 0, nullptr);
    };
    // One start at a time, so that a child inherits no other child's files.
    static std::mutex starting;
    std::unique_lock lock(starting);
    Handle out(create("out"), &CloseHandle);
    Handle err(create("err"), &CloseHandle);
    const Process process(program, line, out.get(), err.get());
    out.reset();
    err.reset();
    lock.unlock();
    DWORD status = 0;
    const bool ended = process.waitForExit(std::chrono::minutes(1)) &&
                       GetExitCodeProcess(process.handle(), &status);
    return {ended ? static_cast<int>(status) : -1, ReadFile(folder / "out"),
            ReadFile(folder / "err")};
}

LSTATUS createKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    const LSTATUS status = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &handle, nullptr);
    const Key closer(status == ERROR_SUCCESS ? handle : nullptr, &RegCloseKey);
    return status;
}

void deleteKey(HKEY root, const std::string& key) {
    RegDeleteTreeA(root, key.c_str());
}

std::vector<std::string> subKeys(HKEY root, const std::string& key) {
    std::vector<std::string> names;
    const Key handle = openKey(root, key);
    char name[256];
    for (DWORD size = sizeof name;
         handle && RegEnumKeyExA(handle.get(), static_cast<DWORD>(names.size()), name, &size,
                                 nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         size = sizeof name) {
        names.emplace_back(name, size);
    }
    return names;
}

bool setValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const std::string& data) {
    return RegSetKeyValueA(root, key.c_str(), name.empty() ? nullptr : name.c_str(), type,
                           data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool setString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value) {
    return setValue(root, key, name, REG_SZ, value + '\0');
}

std::optional<std::string> getString(HKEY root, const std::string& key, const std::string& name) {
    for (const Value& value : values(root, key)) {
        if (value.type == REG_SZ && lstrcmpiA(value.name.c_str(), name.c_str()) == 0) {
            return value.data.substr(0, value.data.find('\0'));
        }
    }
    return std::nullopt;
}

std::vector<Value> values(HKEY root, const std::string& key) {
    std::vector<Value> found;
    const Key handle = openKey(root, key);
    DWORD nameLength = 0;
    DWORD dataSize = 0;
    if (handle) {
        RegQueryInfoKeyA(handle.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &nameLength, &dataSize, nullptr, nullptr);
    }
    for (DWORD index = 0; handle; ++index) {
        Value value{std::string(nameLength + 1, '\0'), 0, std::string(dataSize, '\0')};
        DWORD nameSize = nameLength + 1;
        DWORD size = dataSize;
        if (RegEnumValueA(handle.get(), index, value.name.data(), &nameSize, nullptr, &value.type,
                          reinterpret_cast<BYTE*>(value.data.data()), &size) != ERROR_SUCCESS) {
            break;
        }
        value.name.resize(nameSize);
        value.data.resize(size);
        found.push_back(std::move(value));
    }
    return found;
}

}  // namespace support
