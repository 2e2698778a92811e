#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlregut::ini {

// Unlike a string's, the bytes that a resize adds are left unset: a read overwrites them at
// once, and clearing a file's worth of bytes first would cost a fifth of parsing them.
template <typename T>
struct LeftUnset : std::allocator<T> {
    template <typename U>
    void construct(U* at) {
        ::new (static_cast<void*>(at)) U;
    }
};
using Text = std::vector<char, LeftUnset<char>>;

// The text as read, and where its sections are. A query reads the lines it needs from the text
// again; an edit splices the text and parses it again.
struct Document {
    Text text;
    // The sections as (std::hash of the folded name, where the header line starts), sorted by
    // hash.
    std::vector<std::pair<std::size_t, std::size_t>> index;
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

// Names match when FoldCase makes them equal; names come back spelled as stored.
std::optional<std::string> FindSection(const Document& doc, std::string_view product);
std::optional<std::string> FindValue(const Document& doc, std::string_view product,
                                     std::string_view entry);
std::vector<std::string> Sections(const Document& doc);
Entries EntriesOf(const Document& doc, std::string_view product);

// Each edit returns whether the document changed; SetValue adds a missing section. Invalid names
// and values change nothing.
bool AddSection(Document& doc, std::string_view product);
bool SetValue(Document& doc, std::string_view product, std::string_view entry,
              std::string_view value);
bool RemoveSection(Document& doc, std::string_view product);
bool RemoveEntry(Document& doc, std::string_view product, std::string_view entry);

}  // namespace vlregut::ini
