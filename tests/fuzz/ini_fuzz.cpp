// The install registry's store format on arbitrary texts: a text that parses is written back byte
// for byte and holds valid names only; with a blank before every line, which keeps the parser off
// its quicker way, it parses alike or fails at the same line alike. Setting a valid value changes
// that value and nothing else. The input is PRODUCT NUL ENTRY NUL VALUE NUL TEXT, the edit and the
// store's text; without three NULs it is all text and the edit is the usual DocsDir one.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vlregut/ini.h"
#include "vlregut/names.h"

// A broken property aborts, so that libFuzzer keeps the input that broke it, as for a crash.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace {

namespace ini = vlregut::ini;
using Contents = std::vector<std::pair<std::string, ini::Entries>>;

Contents ContentsOf(const ini::Document& doc) {
    Contents contents;
    for (const std::string& section : ini::Sections(doc)) {
        FUZZ_CHECK(vlregut::IsValidProductId(section));
        contents.emplace_back(section, ini::EntriesOf(doc, section));
        for (const auto& entry : contents.back().second) {
            FUZZ_CHECK(vlregut::IsValidEntryName(entry.first));
        }
    }
    return contents;
}

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
    // Parsed in place: the input is exactly sized, so AddressSanitizer catches a read past it.
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view edit[3] = {"Suite", "DocsDir", "/opt/suite/docs"};  // product, entry, value
    if (std::count(text.begin(), text.end(), '\0') >= 3) {
        for (std::string_view& part : edit) {
            part = text.substr(0, text.find('\0'));
            text.remove_prefix(part.size() + 1);
        }
    }
    ini::Document doc, indented;
    const auto error = ini::Parse(text, doc);
    const auto indentedError = ini::Parse(Indented(text), indented);
    FUZZ_CHECK(error.has_value() == indentedError.has_value());
    if (error) {
        FUZZ_CHECK(error->line >= 1 && error->line == indentedError->line &&
                   error->message == indentedError->message && ini::Serialise(doc).empty());
        return 0;
    }
    Contents contents = ContentsOf(doc);
    FUZZ_CHECK(ini::Serialise(doc) == text && ContentsOf(indented) == contents);
    const std::string_view product = edit[0], entry = edit[1], value = edit[2];
    if (!vlregut::IsValidProductId(product) || !vlregut::IsValidEntryName(entry) ||
        !vlregut::IsValidValue(value)) {
        return 0;
    }
    // Expected: the value replaced in place, or the entry added at the end of its section, or
    // the section added at the end.
    const auto section = std::find_if(contents.begin(), contents.end(), [&](const auto& s) {
        return vlregut::SameName(s.first, product);
    });
    auto& entries =
        (section != contents.end() ? *section : contents.emplace_back(product, ini::Entries{}))
            .second;
    const auto old = std::find_if(entries.begin(), entries.end(),
                                  [&](const auto& e) { return vlregut::SameName(e.first, entry); });
    (old != entries.end() ? *old : entries.emplace_back(entry, value)).second = value;
    const bool changed = ini::SetValue(doc, product, entry, value);
    const std::string edited = ini::Serialise(doc);
    ini::Document reread;
    FUZZ_CHECK(changed == (edited != text) && !ini::Parse(edited, reread) &&
               ini::Serialise(reread) == edited);
    FUZZ_CHECK(ContentsOf(reread) == contents && ContentsOf(doc) == contents);
    return 0;
}
