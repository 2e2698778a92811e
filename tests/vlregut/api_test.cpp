#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"
#include "vlregut/vlregut.h"

using namespace std::string_literals;

namespace {

using Api = Registry;

TEST_F(Api, UserLayerOverridesMachineWideAndNamesMatchWithoutCase) {
    put(Layer::System, kSuite, "DocsDir", "/sys");
    put(Layer::System, kSuite, "Other", "/other");
    put(Layer::User, kPrefix + "suite", "docsdir", "/user");
    ASSERT_TRUE(selectProduct("VLREGUT-TEST-SUITE"));
    EXPECT_EQ(get("DOCSDIR"), "/user");
    EXPECT_EQ(get("other"), "/other");
    EXPECT_EQ(get("Missing"), "<failed>");

    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/changed"));
    EXPECT_EQ(dump(Layer::User, kSuite), kPrefix + "suite{docsdir=/changed,}");
    EXPECT_EQ(dump(Layer::System, kSuite), kSuite + "{DocsDir=/sys,Other=/other,}");
}

TEST_F(Api, MachineWideProductGetsAUserEntryOnSet) {
    put(Layer::System, kSuite, "DocsDir", "/sys");
    put(Layer::System, kPrefix + "Empty");  // a product is one without entries too
    ASSERT_TRUE(vlregutSelectFromC("vlregut-test-SUITE"));
    EXPECT_EQ(dump(Layer::User, kSuite), "");
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", " /with spaces ;kept "));
    EXPECT_EQ(get("docsdir"), " /with spaces ;kept ");
    EXPECT_EQ(dump(Layer::User, kSuite), kSuite + "{DocsDir= /with spaces ;kept ,}");
    EXPECT_EQ(dump(Layer::System, kSuite), kSuite + "{DocsDir=/sys,}");

    ASSERT_TRUE(selectProduct(kPrefix + "Empty"));
    EXPECT_EQ(get("DocsDir"), "<failed>");
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", ""));
    EXPECT_EQ(dump(Layer::User, kPrefix + "Empty"), kPrefix + "Empty{DocsDir=,}");
}

TEST_F(Api, RefusalsLeaveBuffersAndTheStoreUntouched) {
    put(Layer::System, kSuite, "DocsDir", "/abc");
    char id[] = "vlregut-test-Suite";
    std::vector<std::function<int()>> selections{[&] { return VlRegInitializeProduct(id, 1); },
                                                 [] { return VlRegInitializeProduct(nullptr, 0); }};
    for (const std::string& bad : {""s, kPrefix + "Nope", kSuite + " ", kPrefix + "Su]ite",
                                   kSuite + "\n", std::string(260, 'p')}) {
        selections.push_back([bad] { return selectProduct(bad) ? 1 : 0; });
    }
    for (std::size_t i = 0; i < selections.size(); ++i) {
        ASSERT_TRUE(selectProduct(kSuite));
        EXPECT_FALSE(selections[i]()) << i;
        // A failed selection leaves nothing selected.
        EXPECT_EQ(get("DocsDir"), "<failed>") << i;
        EXPECT_FALSE(VlRegSetInstallDir("DocsDir", "/x")) << i;
    }
    EXPECT_STREQ(id, "vlregut-test-Suite");

    ASSERT_TRUE(selectProduct(kSuite));
    struct GetCase {
        const char* entry;
        int capacity;
        bool ok;
    };
    for (const GetCase& c :
         {GetCase{"DocsDir", 4, false}, GetCase{"DocsDir", 0, false}, GetCase{"DocsDir", -1, false},
          GetCase{"Nope", 8, false}, GetCase{"Docs=Dir", 8, false}, GetCase{"DocsDir", 5, true}}) {
        char buffer[8];
        std::fill(std::begin(buffer), std::end(buffer), '#');
        EXPECT_EQ(VlRegGetInstallDir(c.entry, buffer, c.capacity) != 0, c.ok) << c.capacity;
        EXPECT_EQ(std::string(buffer, 8), c.ok ? "/abc\0###"s : "########") << c.capacity;
    }
    EXPECT_FALSE(VlRegGetInstallDir("DocsDir", nullptr, 8));

    const std::string longest(255, 'x');
    const std::pair<std::string, std::string> refused[] = {
        {"DocsDir", "/a\nb"}, {"DocsDir", "/a\rb"}, {"DocsDir", longest + "x"}, {"Docs=Dir", "/a"},
        {"", "/a"},           {" DocsDir", "/a"},   {"[DocsDir", "/a"},         {"Docs\tDir", "/a"},
    };
    for (const auto& [entry, value] : refused) {
        EXPECT_FALSE(VlRegSetInstallDir(entry.c_str(), value.c_str())) << entry << value;
    }
    EXPECT_FALSE(VlRegSetInstallDir("DocsDir", nullptr));
    EXPECT_EQ(dump(Layer::User, kSuite), "");
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", longest.c_str()));
    EXPECT_EQ(get("DocsDir"), longest);
}

}  // namespace
