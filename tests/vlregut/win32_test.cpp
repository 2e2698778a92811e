// What only the registry store of Windows does: values it cannot use, and names the registry
// takes for others.
#include "test_support.h"

using namespace std::string_literals;

namespace {

using Win32Store = StoreTest;

TEST_F(Win32Store, FaultyValuesAreReportedAndNeverOverwritten) {
    const std::tuple<std::string, std::string, DWORD, std::string, std::string> faults[] = {
        // Under the user's key, after the prefix: the key, the value's name, type and data; the
        // report after the prefix.
        {"Suite", "Size", REG_DWORD, "\x01\0\0\0"s, "Suite: value Size: type 4, not REG_SZ"},
        {"Suite", "DocsDir", REG_SZ, std::string(5000, 'x') + '\0',
         "Suite: value DocsDir: longer than 255 bytes"},
        {"Suite", "DocsDir", REG_SZ, "C:\\a\0b\0"s, "Suite: value DocsDir: line break or NUL byte"},
        {"Suite", "Docs=Dir", REG_SZ, "C:\\a\0"s, "Suite: value Docs=Dir: invalid entry name"},
        {"Suite\\Nested", "DocsDir", REG_SZ, "C:\\a\0"s, "Suite: unexpected subkey"},
        {"Bad]", "DocsDir", REG_SZ, "C:\\a\0"s, "Bad]: invalid product id"},
    };
    const std::string key = kKeys[0].substr(18) + "\\" + kPrefix;
    for (const auto& [sub, name, type, data, fault] : faults) {
        TearDown();
        Put(Layer::System, kSuite, "DocsDir", "/sys");
        Put(Layer::User, kSuite, "Kept", "/kept");
        ASSERT_TRUE(SelectFromC(kSuite.c_str()));
        ASSERT_TRUE(support::SetValue(HKEY_CURRENT_USER, key + sub, name, type, data));
        ExpectUnusable(kKeys[0] + "\\" + kPrefix + fault, [&] {
            std::string values;
            for (const auto& [n, t, d] : support::Values(HKEY_CURRENT_USER, key + "Suite")) {
                values.append(n).append(":").append(std::to_string(t)).append(d) += ',';
            }
            return values;
        });
        EXPECT_EQ(Vlreg({"--system", "get", kSuite, "DocsDir"}).out, "/sys\r\n");
    }
}

// The registry folds more than A-Z; a name it takes for an existing one is refused rather than
// changing that one under another name.
TEST_F(Win32Store, NamesOnlyTheRegistryFoldsTogetherAreRefused) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs the Western European ANSI code page 1252, not " << GetACP();
    }
    const std::string upper = kPrefix + "\xC4";  // A with diaeresis
    const std::string lower = kPrefix + "\xE4";
    Put(Layer::System, upper, "\xC4rger", "/a");
    EXPECT_FALSE(SelectFromC(lower.c_str()));
    for (const auto& [args, err] :
         {std::pair<std::vector<std::string>, std::string>{{"--system", "add", lower}, lower},
          {{"--system", "set", upper, "\xE4rger", "/b"}, upper + ": value \xE4rger"}}) {
        EXPECT_EQ(Vlreg(args).err, "vlreg: " + kKeys[1] + "\\" + err +
                                       ": the registry has it under a spelling that differs "
                                       "beyond A-Z case\r\n");
    }
    EXPECT_EQ(Vlreg({"--system", "get", upper, "\xC4rger"}).out, "/a\r\n");
}

}  // namespace
