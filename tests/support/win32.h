// Win32 helpers: programs run, the registry (in the 64-bit view of a 64-bit program), and paths.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/files.h"

namespace support {

// A build product's path (a Unix path under Wine) as a Windows path.
std::string WindowsPath(const std::string& buildPath);
// Quoted so that the C runtime splits the command line back into this argument.
std::string Quote(const std::string& argument);
// Runs the program with these arguments (in `codePage`), each quoted, to its end: a minute at most.
Outcome Run(const std::string& program, const std::vector<std::string>& args,
            unsigned codePage = CP_ACP);
// The text in UTF-16; the runtime's paths take narrow text for UTF-8, not the ANSI code page.
std::wstring Wide(const std::string& text, unsigned codePage = CP_ACP);

// Registry keys; a value named "" is the key's default value.
LSTATUS CreateKey(HKEY root, const std::string& key);
void DeleteKey(HKEY root, const std::string& key);
std::vector<std::string> SubKeys(HKEY root, const std::string& key);
// Texts in `codePage`; `data` goes in as text, a REG_SZ's NUL spelled out.
bool SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const std::string& data, unsigned codePage = CP_ACP);
inline bool SetString(HKEY root, const std::string& key, const std::string& name,
                      const std::string& value) {
    return SetValue(root, key, name, REG_SZ, value + '\0');
}
std::optional<std::string> GetString(HKEY root, const std::string& key, const std::string& name);
struct Value {
    std::string name;
    DWORD type;
    std::string data;  // as stored, with any NUL
};
std::vector<Value> Values(HKEY root, const std::string& key);

}  // namespace support
