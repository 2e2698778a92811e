// The Windows registry's layer, made into the store's document from its keys, on every platform.
#include "vlregut/layer_builder.h"

#include <gtest/gtest.h>

namespace {

// Rows: the keys under HK\P; the layer's text, or after '!' the report after "HK\P\" (ending in
// ": " only how it starts), the document then untouched.
TEST(LayerBuilderTest, BuildsTheLayerOrNamesTheKeyAtFault) {
    const std::string full(255, 'x');
    for (const auto& [keys, expected] :
         std::initializer_list<std::pair<std::vector<vlregut::ProductKey>, std::string>>{
             {{{"One", {{"DocsDir", "C:\\a"}, {"Odd", " ;x= y "}}},
               {"Two", {}},
               {"F", {{"V", full}}}},
              "[One]\nDocsDir=C:\\a\nOdd= ;x= y \n[Two]\n[F]\nV=" + full + "\n"},
             {{{"One", {}}, {"A b\x01", {}}}, "!A b\x01: invalid product id"},
             {{{"One", {{"Docs=Dir\x7f", "x"}}}}, "!One: value Docs=Dir\x7f: invalid entry name"},
             {{{"One", {{"V", full + "x"}}}}, "!One: value V: longer than 255 bytes"},
             {{{"One", {{"V", "a\nb"}}}}, "!One: value V: line break or NUL byte"},
             {{{"One", {}}, {"Two", {{"A", "1"}, {"a", "2"}}}}, "!Two: value a: "},
             {{{"One", {{"A", "1"}}}, {"ONE", {}}}, "!ONE: "}}) {
        vlregut::ini::Document doc;
        ASSERT_FALSE(vlregut::ini::Parse("[Old]\n", doc));
        std::string error;
        const bool built = vlregut::BuildLayer("HK\\P", keys, doc, error);
        const std::string report = "HK\\P\\" + expected.substr(1);
        EXPECT_EQ(built, !expected.starts_with('!')) << expected << error;
        EXPECT_TRUE(built || (report.ends_with(": ") ? error.starts_with(report) : error == report))
            << error;
        EXPECT_EQ(vlregut::ini::Serialise(doc), built ? expected : "[Old]\n");
    }
}

}  // namespace
