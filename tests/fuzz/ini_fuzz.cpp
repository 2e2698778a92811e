// The store format on arbitrary texts: a text that parses is written back byte for byte, and
// setting a valid value changes only that value. The input is PRODUCT NUL ENTRY NUL VALUE NUL TEXT;
// without three NULs it is all text, and the edit the usual DocsDir one.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vlregut/ini.h"
#include "vlregut/names.h"

namespace {

namespace ini = vlregut::ini;

// A broken property aborts: libFuzzer keeps the input and prints the stack, naming the line.
void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

using Contents = std::vector<std::pair<std::string, ini::Entries>>;

Contents ContentsOf(const ini::Document& doc) {
    Contents contents;
    for (const std::string& section : ini::Sections(doc)) {
        contents.emplace_back(section, ini::EntriesOf(doc, section));
    }
    return contents;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view edit[3] = {"Suite", "DocsDir", "/opt/suite/docs"};  // product, entry, value
    if (std::count(text.begin(), text.end(), '\0') >= 3) {
        for (std::string_view& part : edit) {
            part = text.substr(0, text.find('\0'));
            text.remove_prefix(part.size() + 1);
        }
    }
    ini::Document doc;
    if (const auto error = ini::Parse(text, doc)) {
        Check(error->line >= 1 && ini::Serialise(doc).empty());
        return 0;
    }
    Contents contents = ContentsOf(doc);
    Check(ini::Serialise(doc) == text);
    const std::string_view product = edit[0], entry = edit[1], value = edit[2];
    if (!vlregut::IsValidProductId(product) || !vlregut::IsValidEntryName(entry) ||
        !vlregut::IsValidValue(value)) {
        return 0;
    }
    // Expected: the value replaced, or the entry added to its section, or the section added.
    const auto section = std::find_if(contents.begin(), contents.end(), [&](const auto& s) {
        return vlregut::FoldCase(s.first) == vlregut::FoldCase(product);
    });
    auto& entries =
        (section != contents.end() ? *section : contents.emplace_back(product, ini::Entries{}))
            .second;
    const auto old = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
        return vlregut::FoldCase(e.first) == vlregut::FoldCase(entry);
    });
    (old != entries.end() ? *old : entries.emplace_back(entry, value)).second = value;
    const bool changed = ini::SetValue(doc, product, entry, value);
    Check(changed == (ini::Serialise(doc) != text) && ContentsOf(doc) == contents);
    return 0;
}
