#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const char* tail) {
    CommandLine arguments = SplitCommandLine(tail);
    return std::vector<std::string>(arguments.Arguments(),
                                    arguments.Arguments() + arguments.Count());
}

struct SplitCase {
    const char* tail;
    std::vector<std::string> expected;
};

class SplitCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsAsExpected) {
    EXPECT_EQ(Split(GetParam().tail), GetParam().expected) << "tail: [" << GetParam().tail << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    testing::Values(SplitCase{"", {}}, SplitCase{" \t\r\n\v\f ", {}},
                    SplitCase{"-vellum C:\\Suite\\help.cfg", {"-vellum", "C:\\Suite\\help.cfg"}},
                    SplitCase{"  -dax \t  x   ", {"-dax", "x"}},
                    SplitCase{"-vellum \"C:\\Suite Temp\\help.cfg\"",
                              {"-vellum", "C:\\Suite Temp\\help.cfg"}},
                    SplitCase{"\"abc\" d", {"abc", "d"}}, SplitCase{"\"ab\"cd", {"ab", "cd"}},
                    SplitCase{"\"\"", {""}}, SplitCase{"a \"\" b", {"a", "", "b"}},
                    SplitCase{"\"open to the end ", {"open to the end "}},
                    SplitCase{"a\"b c\"", {"a\"b", "c\""}}, SplitCase{"\"C:\\\" x", {"C:\\", "x"}},
                    SplitCase{"a\tb\nc\rd", {"a", "b", "c", "d"}},
                    SplitCase{"a\xA0"
                              "b",
                              {"a\xA0"
                               "b"}},
                    SplitCase{"1 2 3 4 5 6 7 8", {"1", "2", "3", "4", "5", "6"}}));

}  // namespace
