// What only the registry store of Windows does: values it cannot use, and names the registry
// takes for others.
#include "support/win32.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

using Win32Store = StoreTest;

const std::string kUserKey = "Software\\vlregut\\Products\\";
const std::string kShownMachine = "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products\\";

TEST_F(Win32Store, FaultyValuesAreReportedAndNeverOverwritten) {
    struct Fault {
        std::string key;  // under the user's Products key, after the prefix
        std::string name;
        DWORD type;
        std::string data;
        std::string fault;  // in the report, after the prefix
    };
    const Fault faults[] = {
        {"Suite", "Size", REG_DWORD, "\x01\0\0\0"s, "Suite: value Size: type 4, not REG_SZ"},
        {"Suite", "DocsDir", REG_EXPAND_SZ, "%TEMP%\0"s,
         "Suite: value DocsDir: type 2, not REG_SZ"},
        {"Suite", "DocsDir", REG_SZ, std::string(256, 'x') + '\0',
         "Suite: value DocsDir: longer than 255 bytes"},
        {"Suite", "DocsDir", REG_SZ, std::string(5000, 'x') + '\0',
         "Suite: value DocsDir: longer than 255 bytes"},
        {"Suite", "DocsDir", REG_SZ, "C:\\a\r\nb\0"s,
         "Suite: value DocsDir: line break or NUL byte"},
        {"Suite", "DocsDir", REG_SZ, "C:\\a\0b\0"s, "Suite: value DocsDir: line break or NUL byte"},
        {"Suite", "Docs=Dir", REG_SZ, "C:\\a\0"s, "Suite: value Docs=Dir: invalid entry name"},
        {"Suite", "", REG_SZ, "C:\\a\0"s, "Suite: value : invalid entry name"},
        {"Suite\\Nested", "DocsDir", REG_SZ, "C:\\a\0"s, "Suite: unexpected subkey"},
        {"Bad]", "DocsDir", REG_SZ, "C:\\a\0"s, "Bad]: invalid product id"},
    };
    for (const Fault& c : faults) {
        TearDown();
        Put(Layer::System, kSuite, "DocsDir", "/sys");
        Put(Layer::User, kSuite, "Kept", "/kept");
        ASSERT_TRUE(SelectProduct(kSuite));
        ASSERT_TRUE(support::SetValue(HKEY_CURRENT_USER, kUserKey + kPrefix + c.key, c.name, c.type,
                                      c.data));
        ExpectUnusable("HKEY_CURRENT_USER\\" + kUserKey + kPrefix + c.fault, [] {
            std::string values;
            for (const auto& [name, type, data] :
                 support::Values(HKEY_CURRENT_USER, kUserKey + kSuite)) {
                values.append(name).append(":").append(std::to_string(type)).append(data) += ',';
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
    const std::string differs =
        ": the registry has it under a spelling that differs beyond A-Z case\r\n";
    Put(Layer::System, upper, "\xC4rger", "/a");
    EXPECT_FALSE(SelectProduct(lower));
    for (const auto& [args, err] :
         {std::pair<std::vector<std::string>, std::string>{{"--system", "add", lower}, lower},
          {{"--system", "set", upper, "\xE4rger", "/b"}, upper + ": value \xE4rger"}}) {
        const auto outcome = Vlreg(args);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err, "vlreg: " + kShownMachine + err + differs);
    }
    EXPECT_EQ(Vlreg({"--system", "get", upper, "\xC4rger"}).out, "/a\r\n");
}

}  // namespace
