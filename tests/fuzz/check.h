// Shared by the fuzz harnesses: property checks, and the input as a C string. A broken property
// aborts, so that libFuzzer keeps the input that broke it, as it does for a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

// The input up to its first NUL, in a buffer of exactly its size and the NUL, so that
// AddressSanitizer catches any read past it.
struct FuzzInput {
    FuzzInput(const std::uint8_t* data, std::size_t size) {
        const void* nul = std::memchr(data, '\0', size);
        length = nul == nullptr
                     ? size
                     : static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data);
        buffer = std::make_unique<char[]>(length + 1);
        std::memcpy(buffer.get(), data, length);
        buffer[length] = '\0';
    }
    const char* c_str() const { return buffer.get(); }
    std::string_view view() const { return {buffer.get(), length}; }

    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
};
