#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlregut::ini {

struct Line {
    enum class Kind { Blank, Comment, Section, Entry };
    Kind kind = Kind::Blank;
    // Views into the document's storage.
    std::string_view text;   // as read, without its line break
    std::string_view eol;    // "\n", "\r\n", or empty on a last line that has none
    std::string_view name;   // product id of a Section, entry name of an Entry
    std::string_view value;  // value of an Entry, verbatim
};

// Every line is kept as read so that a rewrite changes only what was edited. The lines point
// into text that is never changed once stored, so that a large file is read without copying
// each line and a copy of the document shares it.
struct Document {
    bool bom = false;
    std::vector<Line> lines;
    std::vector<std::shared_ptr<const std::string>> storage;
};

struct ParseError {
    int line = 0;
    std::string message;
};

// On failure doc holds the lines before the faulty one. The document keeps the text.
std::optional<ParseError> parse(std::string&& text, Document& doc);
std::optional<ParseError> parse(std::string_view text, Document& doc);
// The text a document was parsed from, as it was given.
std::string_view source(const Document& doc);
std::string serialise(const Document& doc);

using Entries = std::vector<std::pair<std::string, std::string>>;

// Names match without regard to ASCII case; names come back spelled as stored.
std::optional<std::string> findSection(const Document& doc, std::string_view product);
std::optional<std::string> findValue(const Document& doc, std::string_view product,
                                     std::string_view entry);
std::vector<std::string> sections(const Document& doc);
Entries entries(const Document& doc, std::string_view product);

// Each edit returns whether the document changed; setValue adds a missing section.
bool addSection(Document& doc, std::string_view product);
bool setValue(Document& doc, std::string_view product, std::string_view entry,
              std::string_view value);
bool removeSection(Document& doc, std::string_view product);
bool removeEntry(Document& doc, std::string_view product, std::string_view entry);

}  // namespace vlregut::ini
