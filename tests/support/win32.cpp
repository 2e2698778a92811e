#include "support/win32.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <type_traits>

namespace support {
namespace {

using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)>;

Key OpenKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    const bool open = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS;
    return Key(open ? handle : nullptr, &RegCloseKey);
}

}  // namespace

std::wstring Wide(const std::string& text, unsigned codePage) {
    std::wstring wide(text.size(), L'\0');  // never more characters than bytes
    wide.resize(MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    return wide;
}

std::string WindowsPath(const std::string& buildPath) {
    // Under Wine the build's paths are Unix paths, which a prefix shows under drive Z:.
    std::string path = buildPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path.starts_with('\\') ? path.insert(0, "Z:") : buildPath;
}

std::string Quote(const std::string& argument) {
    // A run of backslashes is doubled only before a quote, the closing one included.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        quoted.append(c == '"' ? backslashes + 1 : 0, '\\') += c;
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    return quoted.append(backslashes, '\\') + "\"";
}

Outcome Run(const std::string& program, const std::vector<std::string>& args, unsigned codePage) {
    const TempFolder folder("support-run");
    std::string line = Quote(program);
    for (const std::string& arg : args) {
        line.append(" ").append(Quote(arg));
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&](const char* name) {
        return Handle(CreateFileA((folder / name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                  CREATE_ALWAYS, 0, nullptr),
                      &CloseHandle);
    };
    PROCESS_INFORMATION info{};
    {
        // One start at a time, so that a child inherits no other child's files.
        static std::mutex starting;
        const std::lock_guard lock(starting);
        const Handle out = create("out");
        const Handle err = create("err");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        std::wstring wideLine = Wide(line, codePage);
        if (!CreateProcessW(Wide(program, codePage).c_str(), wideLine.data(), nullptr, nullptr,
                            TRUE, 0, nullptr, nullptr, &startup, &info)) {
            return {};
        }
    }
    const Handle process(info.hProcess, &CloseHandle), thread(info.hThread, &CloseHandle);
    DWORD status = 0;
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &status)) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
        return {};
    }
    return {static_cast<int>(status), ReadFile(folder / "out"), ReadFile(folder / "err")};
}

LSTATUS CreateKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    const LSTATUS status = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &handle, nullptr);
    const Key closer(status == ERROR_SUCCESS ? handle : nullptr, &RegCloseKey);
    return status;
}

void DeleteKey(HKEY root, const std::string& key) {
    RegDeleteTreeA(root, key.c_str());
}

std::vector<std::string> SubKeys(HKEY root, const std::string& key) {
    std::vector<std::string> names;
    const Key handle = OpenKey(root, key);
    char name[256];  // the longest key name and its NUL
    while (handle && RegEnumKeyA(handle.get(), static_cast<DWORD>(names.size()), name,
                                 sizeof name) == ERROR_SUCCESS) {
        names.emplace_back(name);
    }
    return names;
}

bool SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const std::string& data, unsigned codePage) {
    const std::wstring text = Wide(data, codePage);
    return RegSetKeyValueW(root, Wide(key, codePage).c_str(),
                           name.empty() ? nullptr : Wide(name, codePage).c_str(), type, text.data(),
                           static_cast<DWORD>(2 * text.size())) == ERROR_SUCCESS;
}

std::optional<std::string> GetString(HKEY root, const std::string& key, const std::string& name) {
    char value[1024];  // a longer value is refused
    DWORD size = sizeof value;
    if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::vector<Value> Values(HKEY root, const std::string& key) {
    std::vector<Value> found;
    const Key handle = OpenKey(root, key);
    char name[16384];  // the longest value name and its NUL
    for (DWORD nameSize = sizeof name, type = 0, size = 0;
         handle && RegEnumValueA(handle.get(), static_cast<DWORD>(found.size()), name, &nameSize,
                                 nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
         nameSize = sizeof name) {
        std::string data(size, '\0');
        RegQueryValueExA(handle.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size);
        found.push_back({{name, nameSize}, type, data.substr(0, size)});
    }
    return found;
}

}  // namespace support
