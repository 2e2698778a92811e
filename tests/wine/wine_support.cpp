#include "wine_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace winetest {

namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;
constexpr char kClasses[] = "Software\\Classes\\";

bool StartsWithNoCase(const char* text, const std::string& prefix) {
    return ::_strnicmp(text, prefix.c_str(), prefix.size()) == 0;
}

}  // namespace

std::string WindowsPath(const std::string& buildPath) {
    using ToDos = WCHAR*(CDECL*)(const char*);
    const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    // Not under Wine: the build's paths are Windows paths already.
    if (toDos == nullptr) {
        return buildPath;
    }
    WCHAR* wide = toDos(buildPath.c_str());
    if (wide == nullptr) {
        return {};
    }
    const int length = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string path(length > 0 ? static_cast<std::size_t>(length) : 1, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, path.data(), length, nullptr, nullptr);
    path.resize(path.size() - 1);
    ::HeapFree(::GetProcessHeap(), 0, wide);
    return path;
}

bool WriteText(const std::string& path, const std::string& content) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out.flush());
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string EnvironmentWith(const std::string& name, const std::string& value) {
    std::string block;
    char* strings = ::GetEnvironmentStringsA();
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
        if (!StartsWithNoCase(entry, name + "=")) {
            block.append(entry).push_back('\0');
        }
    }
    ::FreeEnvironmentStringsA(strings);
    block.append(name + "=" + value).push_back('\0');
    block.push_back('\0');
    return block;
}

Process::Process(const std::string& program, const std::string& commandLine,
                 const std::string& environment) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;  // CreateProcessA may write to it
    void* block = environment.empty() ? nullptr : const_cast<char*>(environment.data());
    if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, block, nullptr,
                          &startup, &info_)) {
        startError_ = ::GetLastError();
        info_ = {};
        return;
    }
    ::CloseHandle(info_.hThread);
    info_.hThread = nullptr;
}

Process::Process(Process&& other) noexcept
    : info_(std::exchange(other.info_, {})), startError_(other.startError_) {}

Process::~Process() {
    if (info_.hProcess == nullptr) {
        return;
    }
    if (!Ended()) {
        ::TerminateProcess(info_.hProcess, 1);
        ::WaitForSingleObject(info_.hProcess, 5000);
    }
    ::CloseHandle(info_.hProcess);
}

bool Process::WaitForExit(std::chrono::milliseconds timeout) const {
    return info_.hProcess != nullptr &&
           ::WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) ==
               WAIT_OBJECT_0;
}

bool IsRunning(DWORD processId) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        return false;
    }
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

void EndProcess(DWORD processId, std::chrono::milliseconds grace) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
    if (process == nullptr) {
        return;
    }
    if (::WaitForSingleObject(process, static_cast<DWORD>(grace.count())) == WAIT_TIMEOUT) {
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, 5000);
    }
    ::CloseHandle(process);
}

std::vector<DWORD> ChildrenOf(DWORD processId) {
    std::vector<DWORD> children;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return children;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more;
         more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == processId && entry.th32ProcessID != processId) {
            children.push_back(entry.th32ProcessID);
        }
    }
    ::CloseHandle(snapshot);
    return children;
}

bool SetString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, &handle,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status = ::RegSetValueExA(handle, name.empty() ? nullptr : name.c_str(), 0,
                                            REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

std::optional<std::string> GetString(HKEY root, const std::string& key, const std::string& name) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | kView, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const char* valueName = name.empty() ? nullptr : name.c_str();
    DWORD size = 0;
    LSTATUS status =
        ::RegGetValueA(handle, nullptr, valueName, RRF_RT_REG_SZ, nullptr, nullptr, &size);
    std::string value(size, '\0');
    if (status == ERROR_SUCCESS) {
        status =
            ::RegGetValueA(handle, nullptr, valueName, RRF_RT_REG_SZ, nullptr, value.data(), &size);
    }
    ::RegCloseKey(handle);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(size > 0 ? size - 1 : 0);
    return value;
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | kView, &handle) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(handle);
    return true;
}

void DeleteKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS | kView, &handle) != ERROR_SUCCESS) {
        return;
    }
    ::RegDeleteTreeA(handle, nullptr);
    ::RegCloseKey(handle);
    ::RegDeleteKeyExA(root, key.c_str(), kView, 0);
}

std::string Associations::Claim(const std::string& extension) {
    if (savedClass_.count(extension) == 0) {
        const std::string key = kClasses + extension;
        savedClass_[extension] =
            KeyExists(HKEY_LOCAL_MACHINE, key)
                ? std::optional(GetString(HKEY_LOCAL_MACHINE, key, "").value_or(std::string()))
                : std::nullopt;
    }
    // Unique per process, so a crashed run's leftovers are told apart from the prefix's own.
    const std::string progId =
        "SuiteHelpWineTest" + extension + "." + std::to_string(::GetCurrentProcessId());
    if (std::find(classes_.begin(), classes_.end(), progId) == classes_.end()) {
        classes_.push_back(progId);
    }
    DeleteKey(HKEY_LOCAL_MACHINE, kClasses + progId);
    return progId;
}

bool Associations::Set(const std::string& extension, const Handler& handler) {
    const std::string progId = Claim(extension);
    const std::string verb = kClasses + progId + "\\shell\\open";
    bool ok =
        handler.command.empty()
            ? SetString(HKEY_LOCAL_MACHINE, kClasses + progId, "", "type without an open verb")
            : SetString(HKEY_LOCAL_MACHINE, verb + "\\command", "", handler.command);
    if (!handler.ddeServer.empty()) {
        ok = ok && SetString(HKEY_LOCAL_MACHINE, verb + "\\ddeexec", "", "[open(\"%1\")]") &&
             SetString(HKEY_LOCAL_MACHINE, verb + "\\ddeexec\\application", "", handler.ddeServer);
    }
    return ok && SetString(HKEY_LOCAL_MACHINE, kClasses + extension, "", progId);
}

bool Associations::Unassociate(const std::string& extension) {
    if (savedClass_.count(extension) != 0 || KeyExists(HKEY_LOCAL_MACHINE, kClasses + extension)) {
        return Set(extension, {});
    }
    return true;
}

void Associations::Restore() {
    for (const auto& [extension, former] : savedClass_) {
        if (former) {
            SetString(HKEY_LOCAL_MACHINE, kClasses + extension, "", *former);
        } else {
            DeleteKey(HKEY_LOCAL_MACHINE, kClasses + extension);
        }
    }
    for (const std::string& progId : classes_) {
        DeleteKey(HKEY_LOCAL_MACHINE, kClasses + progId);
    }
    savedClass_.clear();
    classes_.clear();
}

}  // namespace winetest
