#include "support/win32.h"

#include <tlhelp32.h>

#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

namespace support {
namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

Key openKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    return Key(RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS ? handle
                                                                                       : nullptr);
}

const char* valueName(const std::string& name) {
    return name.empty() ? nullptr : name.c_str();
}

}  // namespace

std::string windowsPath(const std::string& buildPath) {
    using ToDos = WCHAR*(CDECL*)(const char*);
    const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    // Not under Wine: the build's paths are Windows paths already.
    WCHAR* wide = toDos == nullptr ? nullptr : toDos(buildPath.c_str());
    if (wide == nullptr) {
        return toDos == nullptr ? buildPath : std::string();
    }
    std::string path(MAX_PATH * 4, '\0');
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, path.data(),
                                           static_cast<int>(path.size()), nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    path.resize(length > 0 ? static_cast<std::size_t>(length) - 1 : 0);
    return path;
}

std::string quote(const std::string& argument) {
    // Backslashes are doubled only before a quote.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    return quoted.append(2 * backslashes, '\\') + "\"";
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
        if (!ended()) {
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
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    // One start at a time, so that a child inherits no other child's files.
    static std::mutex starting;
    std::unique_lock lock(starting);
    HANDLE files[2];
    for (const int i : {0, 1}) {
        files[i] = CreateFileA((folder / (i == 0 ? "out" : "err")).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    }
    std::string line = quote(program);
    for (const std::string& arg : args) {
        line.append(" ").append(quote(arg));
    }
    DWORD status = 0;
    bool ended = false;
    {
        const Process process(program, line, files[0], files[1]);
        CloseHandle(files[0]);
        CloseHandle(files[1]);
        lock.unlock();
        ended = process.waitForExit(std::chrono::milliseconds(INFINITE)) &&
                GetExitCodeProcess(process.handle(), &status);
    }
    return {ended ? static_cast<int>(status) : -1, readFile(folder / "out"),
            readFile(folder / "err")};
}

bool isRunning(DWORD processId) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    const bool running = process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (process != nullptr) {
        CloseHandle(process);
    }
    return running;
}

void endProcess(DWORD processId, std::chrono::milliseconds grace) {
    const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
    if (process == nullptr) {
        return;
    }
    if (WaitForSingleObject(process, static_cast<DWORD>(grace.count())) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

std::vector<DWORD> childrenOf(const Process& parent) {
    const auto started = [](HANDLE process) {
        FILETIME times[4] = {};
        GetProcessTimes(process, &times[0], &times[1], &times[2], &times[3]);
        return ULARGE_INTEGER{{times[0].dwLowDateTime, times[0].dwHighDateTime}}.QuadPart;
    };
    std::vector<DWORD> children;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot != INVALID_HANDLE_VALUE && Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parent.id() || entry.th32ProcessID == parent.id()) {
            continue;
        }
        const HANDLE child =
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (child == nullptr || started(child) >= started(parent.handle())) {
            children.push_back(entry.th32ProcessID);
        }
        if (child != nullptr) {
            CloseHandle(child);
        }
    }
    if (snapshot != INVALID_HANDLE_VALUE) {
        CloseHandle(snapshot);
    }
    return children;
}

LSTATUS createKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    const LSTATUS status = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(handle);
    }
    return status;
}

bool keyExists(HKEY root, const std::string& key) {
    return openKey(root, key) != nullptr;
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
    return RegSetKeyValueA(root, key.c_str(), valueName(name), type, data.data(),
                           static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool setString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value) {
    return setValue(root, key, name, REG_SZ, value + '\0');
}

std::optional<std::string> getString(HKEY root, const std::string& key, const std::string& name) {
    DWORD size = 0;
    const auto get = [&](void* data) {
        return RegGetValueA(root, key.c_str(), valueName(name), RRF_RT_REG_SZ, nullptr, data,
                            &size) == ERROR_SUCCESS;
    };
    std::string value;
    if (!get(nullptr) || !get((value = std::string(size, '\0')).data())) {
        return std::nullopt;
    }
    return value.substr(0, size > 0 ? size - 1 : 0);
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
