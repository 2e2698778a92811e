// The install registry's store format on arbitrary texts: a text that parses is written back byte
// for byte and holds valid names only; the same text with every line indented by a blank, which
// keeps the parser off its quicker way, parses alike or fails at the same line alike; setting a
// valid value changes that value and nothing else, and the edited text reads back the same.
//
// The input is PRODUCT NUL ENTRY NUL VALUE NUL TEXT, the edit and the store's text; without three
// NULs it is all text and the edit is the usual DocsDir one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/fuzz/check.h"
#include "vlregut/ini.h"
#include "vlregut/names.h"

namespace {

namespace ini = vlregut::ini;

// Everything a store says: its sections in order, each with its entries in order.
using Contents = std::vector<std::pair<std::string, ini::Entries>>;

Contents ContentsOf(const ini::Document& doc) {
    Contents contents;
    for (const std::string& section : ini::Sections(doc)) {
        FUZZ_CHECK(vlregut::IsValidProductId(section));
        contents.emplace_back(section, ini::EntriesOf(doc, section));
        for (const auto& [name, value] : contents.back().second) {
            FUZZ_CHECK(vlregut::IsValidEntryName(name));
        }
    }
    return contents;
}

// Parses a text that must parse, and checks that it is written back unchanged.
Contents Reparse(const std::string& text) {
    ini::Document doc;
    FUZZ_CHECK(!ini::Parse(text, doc) && ini::Serialise(doc) == text);
    return ContentsOf(doc);
}

// The text with a blank before each line, after any byte order mark.
std::string Indented(std::string_view text) {
    std::string indented(text.starts_with("\xEF\xBB\xBF") ? text.substr(0, 3) : "");
    for (std::size_t at = indented.size(); at < text.size();) {
        const std::size_t next = std::min(text.find('\n', at), text.size() - 1) + 1;
        indented.append(" ").append(text.substr(at, next - at));
        at = next;
    }
    return indented;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Parsed in place: libFuzzer's copy of the input is exactly sized, so AddressSanitizer
    // catches a read past the text.
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view edit[3] = {"Suite", "DocsDir", "/opt/suite/docs"};  // product, entry, value
    if (std::count(text.begin(), text.end(), '\0') >= 3) {
        for (std::string_view& part : edit) {
            part = text.substr(0, text.find('\0'));
            text.remove_prefix(part.size() + 1);
        }
    }
    ini::Document doc;
    const auto error = ini::Parse(text, doc);
    const std::string indented = Indented(text);
    ini::Document indentedDoc;
    const auto indentedError = ini::Parse(indented, indentedDoc);
    FUZZ_CHECK(error.has_value() == indentedError.has_value());
    if (error) {
        FUZZ_CHECK(error->line >= 1 && error->line == indentedError->line &&
                   error->message == indentedError->message && ini::Serialise(doc).empty());
        return 0;
    }
    Contents contents = ContentsOf(doc);
    FUZZ_CHECK(ini::Serialise(doc) == text && ContentsOf(indentedDoc) == contents);
    const auto [product, entry, value] = edit;
    if (!vlregut::IsValidProductId(product) || !vlregut::IsValidEntryName(entry) ||
        !vlregut::IsValidValue(value)) {
        return 0;
    }
    // Expected: the value replaced in place, or the entry added at the end of its section, or
    // the section added at the end.
    const auto section = std::find_if(contents.begin(), contents.end(), [&](const auto& s) {
        return vlregut::SameName(s.first, product);
    });
    ini::Entries& entries =
        section != contents.end()
            ? section->second
            : contents.emplace_back(std::string(product), ini::Entries{}).second;
    const auto old = std::find_if(entries.begin(), entries.end(),
                                  [&](const auto& e) { return vlregut::SameName(e.first, entry); });
    if (old == entries.end()) {
        entries.emplace_back(entry, value);
    } else {
        old->second = value;
    }
    const bool changed = ini::SetValue(doc, product, entry, value);
    const std::string edited = ini::Serialise(doc);
    FUZZ_CHECK(changed == (edited != text));
    FUZZ_CHECK(Reparse(edited) == contents && ContentsOf(doc) == contents);
    return 0;
}
