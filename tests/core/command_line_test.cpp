#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SplitCommandLineTest, SplitsAsExpected) {
    // clang-format off
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}}, {" \t\r\n\v\f ", {}}, {"  -dax \t  x   ", {"-dax", "x"}},
        {"-vellum C:\\Suite\\help.cfg", {"-vellum", "C:\\Suite\\help.cfg"}},
        {"-vellum \"C:\\Suite Temp\\help.cfg\"", {"-vellum", "C:\\Suite Temp\\help.cfg"}},
        {"\"abc\" d", {"abc", "d"}}, {"\"ab\"cd", {"ab", "cd"}}, {"\"\"", {""}}, {"a \"\" b", {"a", "", "b"}},
        {"\"open to the end ", {"open to the end "}}, {"a\"b c\"", {"a\"b", "c\""}}, {"\"C:\\\" x", {"C:\\", "x"}},
        {"a\tb\nc\rd", {"a", "b", "c", "d"}}, {"a\xA0z", {"a\xA0z"}},  // bytes above 0x7F separate nothing
        {"1 2 3 4 5 6 7 8", {"1", "2", "3", "4", "5", "6"}}};
    // clang-format on
    for (const auto& [tail, expected] : cases) {
        CommandLine split = SplitCommandLine(tail);
        const std::vector<std::string> got(split.Arguments(), split.Arguments() + split.Count());
        EXPECT_EQ(got, expected) << "tail: [" << tail << "]";
    }
}

}  // namespace
