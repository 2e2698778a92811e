#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <utility>

#include "test_support.h"
#include "vlregut/vlregut.h"

extern "C" int vlregutSelectFromC(const char* product);

using namespace std::string_literals;

namespace {

bool selectProduct(std::string product) {
    return VlRegInitializeProduct(product.data(), 0) != 0;
}

std::string get(const char* entry) {
    char buffer[256] = {};
    return VlRegGetInstallDir(entry, buffer, sizeof buffer) ? buffer : "<failed>";
}

using Api = ConfigTest;

TEST_F(Api, UserLayerOverridesMachineWideAndNamesMatchWithoutCase) {
    writeFile(systemFile(2), "[Suite]\nDocsDir=/sys\nOther=/other\n");
    writeFile(userFile(), "[suite]\ndocsdir=/user\n");
    ASSERT_TRUE(selectProduct("SUITE"));
    EXPECT_EQ(get("DOCSDIR"), "/user");
    EXPECT_EQ(get("other"), "/other");
    EXPECT_EQ(get("Missing"), "<failed>");

    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/changed"));
    EXPECT_EQ(readFile(userFile()), "[suite]\ndocsdir=/changed\n");
}

TEST_F(Api, MachineWideProductGetsAUserSectionOnSet) {
    const std::string system = "# installed\n[Suite]\nDocsDir=/sys\n";
    writeFile(systemFile(), system);
    ASSERT_TRUE(vlregutSelectFromC("suite"));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", " /with spaces ;kept "));
    EXPECT_EQ(get("DocsDir"), " /with spaces ;kept ");
    EXPECT_EQ(readFile(userFile()), "[Suite]\nDocsDir= /with spaces ;kept \n");
    EXPECT_EQ(readFile(systemFile()), system);

    struct stat info;
    ASSERT_EQ(stat(userFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(chmod(userFile().c_str(), 0640), 0);
    ASSERT_TRUE(VlRegSetInstallDir("Other", "/x"));
    ASSERT_EQ(stat(userFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(Api, RelativeConfigHomeIsIgnored) {
    writeFile(systemFile(), "[Suite]\n");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    setenv("HOME", root_.c_str(), 1);
    ASSERT_TRUE(selectProduct("Suite"));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/d"));
    EXPECT_EQ(readFile(root_ + "/.config/vlregut/registry.ini"), "[Suite]\nDocsDir=/d\n");
}

TEST_F(Api, SelectionRefusals) {
    writeFile(systemFile(), "[Suite]\nDocsDir=/d\n[" + std::string(259, 'p') + "]\n");
    EXPECT_TRUE(selectProduct(std::string(259, 'P')));
    EXPECT_FALSE(selectProduct(std::string(260, 'p')));
    EXPECT_FALSE(VlRegInitializeProduct(nullptr, 0));
    char id[] = "Suite";
    EXPECT_FALSE(VlRegInitializeProduct(id, 1));
    EXPECT_STREQ(id, "Suite");
    for (const char* bad : {"", "Nope", "Suite ", "Su]ite", "Suite\n"}) {
        ASSERT_TRUE(selectProduct("Suite"));
        EXPECT_FALSE(selectProduct(bad)) << bad;
        // A failed selection leaves nothing selected.
        EXPECT_EQ(get("DocsDir"), "<failed>") << bad;
        EXPECT_FALSE(VlRegSetInstallDir("DocsDir", "/x")) << bad;
    }
}

TEST_F(Api, GetNeverTruncatesNorTouchesTheBufferOnFailure) {
    writeFile(userFile(), "[Suite]\nDocsDir=/abc\n");
    ASSERT_TRUE(selectProduct("Suite"));
    struct Case {
        const char* entry;
        int capacity;
        bool ok;
    };
    for (const Case& c :
         {Case{"DocsDir", 4, false}, Case{"DocsDir", 0, false}, Case{"DocsDir", -1, false},
          Case{"Nope", 8, false}, Case{"Docs=Dir", 8, false}, Case{"DocsDir", 5, true}}) {
        char buffer[8];
        std::fill(std::begin(buffer), std::end(buffer), '#');
        EXPECT_EQ(VlRegGetInstallDir(c.entry, buffer, c.capacity) != 0, c.ok) << c.capacity;
        EXPECT_EQ(std::string(buffer, 8), c.ok ? "/abc\0###"s : "########") << c.capacity;
    }
    EXPECT_FALSE(VlRegGetInstallDir("DocsDir", nullptr, 8));
}

TEST_F(Api, SetRefusesWhatCannotBeStoredOrReadBack) {
    writeFile(systemFile(), "[Suite]\n");
    ASSERT_TRUE(selectProduct("Suite"));
    const std::string longest(255, 'x');
    const std::pair<std::string, std::string> refused[] = {
        {"DocsDir", "/a\nb"}, {"DocsDir", "/a\rb"}, {"DocsDir", longest + "x"}, {"Docs=Dir", "/a"},
        {"", "/a"},           {" DocsDir", "/a"},   {"[DocsDir", "/a"},         {"Docs\tDir", "/a"},
    };
    for (const auto& [entry, value] : refused) {
        EXPECT_FALSE(VlRegSetInstallDir(entry.c_str(), value.c_str())) << entry << value;
    }
    EXPECT_FALSE(VlRegSetInstallDir("DocsDir", nullptr));
    EXPECT_EQ(readFile(userFile()), "");
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", longest.c_str()));
    EXPECT_EQ(get("DocsDir"), longest);
}

TEST_F(Api, UnparseableStoreIsReportedOnceAndNeverOverwritten) {
    writeFile(systemFile(), "[Suite]\n");
    ASSERT_TRUE(selectProduct("Suite"));
    const std::string broken = "[Suite]\nDocsDir=/d\ngarbage\n";
    writeFile(userFile(), broken);

    for (const auto& call : {+[] { return VlRegSetInstallDir("DocsDir", "/new"); },
                             +[] { return get("DocsDir") == "<failed>" ? 0 : 1; },
                             +[] { return vlregutSelectFromC("Suite"); }}) {
        StderrCapture capture(root_ + "/stderr");
        EXPECT_FALSE(call());
        EXPECT_EQ(capture.finish(),
                  "vlregut: " + userFile() + ":3: expected [section] or key=value\n");
        EXPECT_EQ(readFile(userFile()), broken);
    }
}

}  // namespace
