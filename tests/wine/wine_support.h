// Win32 helpers for the end-to-end tests: processes, files, the registry and file associations.
#pragma once

#include <windows.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace winetest {

// A build product's path (a Unix path under Wine) as a Windows path.
std::string WindowsPath(const std::string& buildPath);

// Creates missing parent folders.
bool WriteText(const std::string& path, const std::string& content);
// Empty when the file is missing.
std::string ReadText(const std::string& path);

// This process's environment with one variable set, as a block for CreateProcessA.
std::string EnvironmentWith(const std::string& name, const std::string& value);

// A process started with an exact command line; ended on destruction if still running.
class Process {
  public:
    // An empty environment block inherits this process's environment.
    Process(const std::string& program, const std::string& commandLine,
            const std::string& environment);
    Process(Process&& other) noexcept;
    Process& operator=(Process&&) = delete;
    Process(const Process&) = delete;
    ~Process();

    bool started() const { return info_.hProcess != nullptr; }
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }
    DWORD startError() const { return startError_; }
    bool WaitForExit(std::chrono::milliseconds timeout) const;
    bool Ended() const { return WaitForExit(std::chrono::milliseconds(0)); }

  private:
    PROCESS_INFORMATION info_{};
    DWORD startError_ = 0;
};

bool IsRunning(DWORD processId);
// Gives the process `grace` to end on its own, then terminates it.
void EndProcess(DWORD processId, std::chrono::milliseconds grace);
// Processes whose parent has this id, whether or not the parent still runs.
std::vector<DWORD> ChildrenOf(DWORD processId);

// Registry values in the 64-bit view.
bool SetString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value);
std::optional<std::string> GetString(HKEY root, const std::string& key, const std::string& name);
bool KeyExists(HKEY root, const std::string& key);
void DeleteKey(HKEY root, const std::string& key);

// How a document type is opened.
struct Handler {
    std::string command;    // the open verb's command; empty: the type's class has no open verb
    std::string ddeServer;  // non-empty: the verb also talks DDE to this server
};

// File associations in the machine-wide classes (this Wine takes no per-user ones). Whatever
// it changes is put back on destruction.
class Associations {
  public:
    Associations() = default;
    Associations(const Associations&) = delete;
    Associations& operator=(const Associations&) = delete;
    ~Associations() { Restore(); }

    // `extension` with its dot, e.g. ".pdf". False when the classes cannot be written.
    bool Set(const std::string& extension, const Handler& handler);
    // Leaves the type without an open verb: the shell then has no association for it.
    bool Unassociate(const std::string& extension);
    void Restore();

  private:
    std::string Claim(const std::string& extension);

    std::map<std::string, std::optional<std::string>> savedClass_;  // extension -> former class
    std::vector<std::string> classes_;                              // the ones made here
};

}  // namespace winetest
