#include "app/command_line.h"

#include <cstring>

namespace {

// What isspace answers in the C locale; bytes of 0x80 and above never separate arguments.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

void CommandLine::Add(const char* text, std::size_t length) {
    auto storage = std::make_unique<char[]>(length + 1);
    std::memcpy(storage.get(), text, length);
    storage[length] = '\0';
    m_arguments[m_count] = storage.get();
    m_storage[m_count] = std::move(storage);
    ++m_count;
}

CommandLine SplitCommandLine(const char* commandTail) {
    CommandLine result;
    const char* rest = commandTail;
    while (result.Count() < CommandLine::kCapacity) {
        while (IsSpace(*rest)) {
            ++rest;
        }
        if (*rest == '\0') {
            break;
        }
        const char* begin = rest;
        const char* end = rest;
        if (*rest == '"') {
            begin = rest + 1;
            end = std::strchr(begin, '"');
            if (end == nullptr) {
                end = begin + std::strlen(begin);
                rest = end;
            } else {
                rest = end + 1;  // the next argument may start right after the closing mark
            }
        } else {
            while (*end != '\0' && !IsSpace(*end)) {
                ++end;
            }
            rest = end;
        }
        result.Add(begin, static_cast<std::size_t>(end - begin));
    }
    return result;
}
