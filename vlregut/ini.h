#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlregut::ini {

// Unlike a string's, the bytes that a resize adds are left unset: a read overwrites them at
// once, and clearing a large file's worth first would cost about as much as parsing it.
template <typename T>
struct LeftUnset : std::allocator<T> {
    template <typename U>
    void construct(U* at) {
        ::new (static_cast<void*>(at)) U;
    }
};
using Text = std::vector<char, LeftUnset<char>>;

struct Line {
    enum class Kind { Blank, Comment, Section, Entry };
    Kind kind = Kind::Blank;
    // Views into the document's text.
    std::string_view text;   // as read, without its line break
    std::string_view eol;    // "\n", "\r\n", or empty on a last line that has none
    std::string_view name;   // product id of a Section, entry name of an Entry
    std::string_view value;  // value of an Entry, verbatim
};

// A named part of the text: a section, or while parsing an entry. Offsets fit 32 bits because
// a text parses only when smaller than 4 GiB.
struct Span {
    std::uint32_t name = 0;    // offset of the name
    std::uint32_t length = 0;  // of the name
    std::uint32_t hash = 0;    // of the name, equal for names that match; 0 for most entries
};

// A read needs only the text and where its sections are. The lines, kept as read so that a
// rewrite changes only what was edited, are built by the first edit; they point into text that
// is never changed once stored, so that a copy of the document shares it.
struct Document {
    bool bom = false;
    bool edited = false;  // the lines hold the document, and the sections are cleared
    std::shared_ptr<const Text> text;
    std::vector<Span> sections;        // in the order of the text
    std::vector<std::uint32_t> index;  // the sections by hash: 1 + position; 0: free
    std::vector<Line> lines;
    std::vector<std::shared_ptr<const std::string>> storage;  // of edited lines
};

struct ParseError {
    int line = 0;
    std::string message;
};

// Checks the whole text, every name against the others included, and finds its sections; on
// failure doc is empty. The document keeps the text.
std::optional<ParseError> Parse(Text&& text, Document& doc);
std::optional<ParseError> Parse(std::string_view text, Document& doc);
// The text a document was parsed from, as it was given.
std::string_view Source(const Document& doc);
std::string Serialise(const Document& doc);

using Entries = std::vector<std::pair<std::string, std::string>>;

// Names match without regard to ASCII case; names come back spelled as stored.
std::optional<std::string> FindSection(const Document& doc, std::string_view product);
std::optional<std::string> FindValue(const Document& doc, std::string_view product,
                                     std::string_view entry);
std::vector<std::string> Sections(const Document& doc);
Entries EntriesOf(const Document& doc, std::string_view product);

// Each edit returns whether the document changed; setValue adds a missing section.
bool AddSection(Document& doc, std::string_view product);
bool SetValue(Document& doc, std::string_view product, std::string_view entry,
              std::string_view value);
bool RemoveSection(Document& doc, std::string_view product);
bool RemoveEntry(Document& doc, std::string_view product, std::string_view entry);

}  // namespace vlregut::ini
