// The command-tail tokenizer on arbitrary tails: at most six arguments, each the tail's own text
// taken in order by the tokenizer's rules, and nothing of the tail dropped while there is room.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "app/command_line.h"
#include "tests/fuzz/check.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzInput input(data, size);
    const std::string_view tail = input.view();

    CommandLine arguments = SplitCommandLine(input.c_str());
    FUZZ_CHECK(arguments.Count() >= 0 && arguments.Count() <= CommandLine::kCapacity);

    std::size_t at = 0;  // where the tail is still to be accounted for
    for (int i = 0; i < arguments.Count(); ++i) {
        const char* stored = arguments[i];
        FUZZ_CHECK(stored != nullptr && stored == arguments.Arguments()[i]);
        // Each argument has storage of its own: it must outlive the caller's tail.
        const std::less<const char*> before;
        FUZZ_CHECK(before(stored, input.c_str()) || before(input.c_str() + tail.size(), stored));
        const std::string_view argument(stored);

        while (at < tail.size() && IsSpace(tail[at])) {
            ++at;
        }
        FUZZ_CHECK(at < tail.size());  // an argument begins where the tail has text left
        if (tail[at] == '"') {
            // Quoted: the text up to the next mark, or to the end; blanks included, may be empty.
            FUZZ_CHECK(argument.find('"') == std::string_view::npos);
            FUZZ_CHECK(tail.substr(at + 1, argument.size()) == argument);
            at += 1 + argument.size();
            FUZZ_CHECK(at == tail.size() || tail[at] == '"');
            if (at < tail.size()) {
                ++at;
            }
        } else {
            // Unquoted: a run of non-blank text up to a blank or the end; never empty.
            FUZZ_CHECK(!argument.empty());
            FUZZ_CHECK(std::none_of(argument.begin(), argument.end(), IsSpace));
            FUZZ_CHECK(tail.substr(at, argument.size()) == argument);
            at += argument.size();
            FUZZ_CHECK(at == tail.size() || IsSpace(tail[at]));
        }
    }
    // Only arguments beyond the sixth may be left over.
    if (arguments.Count() < CommandLine::kCapacity) {
        while (at < tail.size() && IsSpace(tail[at])) {
            ++at;
        }
        FUZZ_CHECK(at == tail.size());
    }
    return 0;
}
