// Win32 helpers: processes and their output, the registry (in the 64-bit view of a 64-bit
// program), and paths.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/files.h"

namespace support {

// A build product's path (a Unix path under Wine) as a Windows path.
std::string windowsPath(const std::string& buildPath);
// Quoted so that the C runtime splits the command line back into this argument.
std::string quote(const std::string& argument);

// A started process, ended on destruction if it still runs. Given `out`, an inheritable handle,
// its standard output and error go there and to `err`.
class Process {
  public:
    Process(const std::string& program, const std::string& commandLine, HANDLE out = nullptr,
            HANDLE err = nullptr);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    DWORD startError() const { return startError_; }
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }
    bool waitForExit(std::chrono::milliseconds timeout) const;

  private:
    PROCESS_INFORMATION info_{};
    DWORD startError_ = 0;
};

// Runs the program with these arguments, each quoted, to its end: a minute at most.
Outcome run(const std::string& program, const std::vector<std::string>& args);

// Registry keys; a value named "" is the key's default value.
LSTATUS createKey(HKEY root, const std::string& key);
void deleteKey(HKEY root, const std::string& key);
std::vector<std::string> subKeys(HKEY root, const std::string& key);
// `data` goes in byte for byte: a REG_SZ needs its NUL spelled out.
bool setValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const std::string& data);
bool setString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value);
std::optional<std::string> getString(HKEY root, const std::string& key, const std::string& name);
struct Value {
    std::string name;
    DWORD type;
    std::string data;  // as stored, with any NUL
};
std::vector<Value> values(HKEY root, const std::string& key);

}  // namespace support
