#pragma once

#include <cstddef>
#include <memory>

// The arguments taken from a command tail, each in storage of its own.
class CommandLine {
  public:
    // Room for six arguments; further ones are ignored.
    static constexpr int kCapacity = 6;

    int Count() const { return m_count; }
    char** Arguments() { return m_arguments; }

    void Add(const char* text, std::size_t length);

  private:
    std::unique_ptr<char[]> m_storage[kCapacity];
    char* m_arguments[kCapacity] = {};
    int m_count = 0;
};

// Splits a command tail by the module's own rules: whitespace separates arguments, and a double
// quotation mark at the start of an argument quotes it up to the next mark. Nothing else is
// special: no escapes, and a backslash is an ordinary character.
CommandLine SplitCommandLine(const char* commandTail);
