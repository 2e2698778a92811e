// The install registry's store format on arbitrary texts: a text that parses is written back byte
// for byte and reads back the same, with valid names only; the same text with every line indented
// by a blank, which no line of it is read the parser's quicker way, parses alike or fails at the
// same line alike; setting a valid value changes that value and nothing else, and the edited
// lines read as the text they make does when parsed.
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

using vlregut::ini::Document;
using vlregut::ini::Entries;

struct Edit {
    std::string_view product = "Suite";
    std::string_view entry = "DocsDir";
    std::string_view value = "/opt/suite/docs";
};

// Everything a store says: its sections in order, each with its entries in order.
using Contents = std::vector<std::pair<std::string, Entries>>;

Contents ContentsOf(const Document& doc) {
    Contents contents;
    for (const std::string& section : vlregut::ini::sections(doc)) {
        FUZZ_CHECK(vlregut::isValidProductId(section));
        contents.emplace_back(section, vlregut::ini::entries(doc, section));
        for (const auto& [name, value] : contents.back().second) {
            FUZZ_CHECK(vlregut::isValidEntryName(name));
        }
    }
    return contents;
}

// What the store should say after the edit: the value replaced in place, or the entry added at
// the end of its section, or the section added at the end.
Contents Edited(Contents contents, const Edit& edit) {
    for (auto& [section, entries] : contents) {
        if (!vlregut::sameName(section, edit.product)) {
            continue;
        }
        for (auto& [name, value] : entries) {
            if (vlregut::sameName(name, edit.entry)) {
                value = edit.value;
                return contents;
            }
        }
        entries.emplace_back(edit.entry, edit.value);
        return contents;
    }
    contents.emplace_back(edit.product,
                          Entries{{std::string(edit.entry), std::string(edit.value)}});
    return contents;
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

// Parses a text that must parse, and checks that it is written back unchanged.
Document Reparse(const std::string& text) {
    Document doc;
    FUZZ_CHECK(!vlregut::ini::parse(text, doc));
    FUZZ_CHECK(vlregut::ini::serialise(doc) == text);
    return doc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    Edit edit;
    const std::size_t first = input.find('\0');
    const std::size_t second =
        first == std::string_view::npos ? first : input.find('\0', first + 1);
    const std::size_t third =
        second == std::string_view::npos ? second : input.find('\0', second + 1);
    if (third != std::string_view::npos) {
        edit = {input.substr(0, first), input.substr(first + 1, second - first - 1),
                input.substr(second + 1, third - second - 1)};
        input.remove_prefix(third + 1);
    }
    // Parsed in place: libFuzzer's copy of the input is exactly sized, so AddressSanitizer
    // catches a read past the text.
    const std::string_view text = input;

    Document doc;
    Document indented;
    const auto error = vlregut::ini::parse(text, doc);
    const auto indentedError = vlregut::ini::parse(Indented(text), indented);
    FUZZ_CHECK(error.has_value() == indentedError.has_value());
    if (error) {
        FUZZ_CHECK(error->line >= 1);
        FUZZ_CHECK(error->line == indentedError->line && error->message == indentedError->message);
        FUZZ_CHECK(vlregut::ini::serialise(doc).empty());
        return 0;
    }
    FUZZ_CHECK(vlregut::ini::serialise(doc) == text);
    const Contents contents = ContentsOf(doc);
    FUZZ_CHECK(ContentsOf(indented) == contents);
    FUZZ_CHECK(ContentsOf(Reparse(vlregut::ini::serialise(doc))) == contents);

    if (!vlregut::isValidProductId(edit.product) || !vlregut::isValidEntryName(edit.entry) ||
        !vlregut::isValidValue(edit.value)) {
        return 0;
    }
    const bool changed = vlregut::ini::setValue(doc, edit.product, edit.entry, edit.value);
    const std::string edited = vlregut::ini::serialise(doc);
    FUZZ_CHECK(changed == (edited != text));
    FUZZ_CHECK(ContentsOf(Reparse(edited)) == Edited(contents, edit));
    FUZZ_CHECK(ContentsOf(doc) == Edited(contents, edit));
    return 0;
}
