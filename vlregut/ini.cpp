#include "vlregut/ini.h"

#include <memory_resource>
#include <unordered_map>

#include "vlregut/names.h"

namespace vlregut::ini {
namespace {

using Kind = Line::Kind;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr auto npos = std::string_view::npos;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string_view trimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Where the first byte lies that no line may hold: a NUL, or a CR that does not end a line.
std::size_t firstStrayByte(std::string_view text) {
    std::size_t stray = text.find('\0');
    for (auto cr = text.find('\r'); cr < stray; cr = text.find('\r', cr + 1)) {
        if (cr + 1 == text.size() || text[cr + 1] != '\n') {
            stray = cr;
        }
    }
    return stray;
}

std::string strayByteFault(std::string_view text) {
    return text.find('\r') != npos ? "carriage return not followed by a line feed" : "NUL byte";
}

std::optional<std::string> classify(Line& line) {
    const std::string_view text = line.text;
    const std::string_view body = trimBlanks(text);
    if (body.empty()) {
        line.kind = Kind::Blank;
    } else if (body.front() == ';' || body.front() == '#') {
        line.kind = Kind::Comment;
    } else if (body.front() == '[') {
        if (body.back() != ']') {
            return "expected ']' at the end of the section header";
        }
        line.name = trimBlanks(body.substr(1, body.size() - 2));
        if (!isValidProductId(line.name)) {
            return "invalid product id in section header";
        }
        line.kind = Kind::Section;
    } else {
        const auto equals = text.find('=');
        if (equals == npos) {
            return "expected [section] or key=value";
        }
        line.name = trimBlanks(text.substr(0, equals));
        if (!isValidEntryName(line.name)) {
            return "invalid entry name";
        }
        line.value = text.substr(equals + 1);
        line.kind = Kind::Entry;
    }
    return std::nullopt;
}

std::size_t sectionAt(const Document& doc, std::string_view product) {
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        if (doc.lines[i].kind == Kind::Section && sameName(doc.lines[i].name, product)) {
            return i;
        }
    }
    return kNone;
}

std::size_t sectionEnd(const Document& doc, std::size_t header) {
    std::size_t i = header + 1;
    while (i < doc.lines.size() && doc.lines[i].kind != Kind::Section) {
        ++i;
    }
    return i;
}

std::size_t entryAt(const Document& doc, std::size_t header, std::string_view entry) {
    const auto end = sectionEnd(doc, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (doc.lines[i].kind == Kind::Entry && sameName(doc.lines[i].name, entry)) {
            return i;
        }
    }
    return kNone;
}

// Blank and comment lines after a section's last entry usually introduce what follows it.
std::size_t afterLastEntry(const Document& doc, std::size_t header) {
    std::size_t after = header + 1;
    const auto end = sectionEnd(doc, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (doc.lines[i].kind == Kind::Entry) {
            after = i + 1;
        }
    }
    return after;
}

constexpr std::string_view kLf = "\n";
constexpr std::string_view kCrLf = "\r\n";

// New lines follow the file's own line breaks, so a file edited on Windows stays consistent.
void insertLine(Document& doc, std::size_t at, Line line) {
    std::string_view eol = kLf;
    for (const Line& existing : doc.lines) {
        if (!existing.eol.empty()) {
            eol = existing.eol;
            break;
        }
    }
    if (at == doc.lines.size() && !doc.lines.empty() && doc.lines.back().eol.empty()) {
        doc.lines.back().eol = eol;
    }
    line.eol = eol;
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
}

// Text that lines may point into for as long as the document or a copy of it lives.
std::string_view keep(Document& doc, std::string text) {
    doc.storage.push_back(std::make_shared<const std::string>(std::move(text)));
    return *doc.storage.back();
}

// A line whose text is `before` followed by value, which becomes the line's value.
void setText(Document& doc, Line& line, std::string_view before, std::string_view value) {
    const std::string_view text = keep(doc, std::string(before).append(value));
    line.text = text;
    line.value = text.substr(before.size());
}

Line makeSection(Document& doc, std::string_view product) {
    Line line;
    line.kind = Kind::Section;
    line.text = keep(doc, std::string("[").append(product).append("]"));
    line.name = line.text.substr(1, product.size());
    return line;
}

Line makeEntry(Document& doc, std::string_view entry, std::string_view value) {
    Line line;
    line.kind = Kind::Entry;
    setText(doc, line, std::string(entry).append("="), value);
    line.name = line.text.substr(0, entry.size());
    return line;
}

// An entry is identified by the number of its section and its name.
struct EntryKey {
    std::size_t section;
    std::string_view name;
};

// Names compared and hashed without regard to ASCII case, for the duplicate checks.
struct FoldedHash {
    std::size_t operator()(std::string_view name) const { return foldedHash(name); }
    std::size_t operator()(const EntryKey& key) const {
        return foldedHash(key.name) ^ (key.section * 0x9E3779B97F4A7C15u);
    }
};

struct SameFolded {
    bool operator()(std::string_view a, std::string_view b) const { return sameName(a, b); }
    bool operator()(const EntryKey& a, const EntryKey& b) const {
        return a.section == b.section && sameName(a.name, b.name);
    }
};

}  // namespace

std::optional<ParseError> parse(std::string_view text, Document& doc) {
    doc = Document{};
    if (text.starts_with(kBom)) {
        doc.bom = true;
        text.remove_prefix(kBom.size());
    }
    text = keep(doc, std::string(text));
    const char* const start = text.data();
    const std::size_t stray = firstStrayByte(text);
    doc.lines.reserve(text.size() / 32);
    // Line numbers of the first occurrences, to name them in the report of a duplicate. The
    // maps live only for the parse, so their nodes come from one arena.
    std::pmr::monotonic_buffer_resource arena;
    std::pmr::unordered_map<std::string_view, int, FoldedHash, SameFolded> sectionLines(&arena);
    std::pmr::unordered_map<EntryKey, int, FoldedHash, SameFolded> entryLines(&arena);
    for (int number = 1; !text.empty(); ++number) {
        Line line;
        const auto end = text.find('\n');
        line.text = text.substr(0, end);
        text.remove_prefix(end == npos ? text.size() : end + 1);
        if (end != npos) {
            line.eol = line.text.ends_with('\r') ? kCrLf : kLf;
            line.text.remove_suffix(line.eol.size() - 1);
        }
        if (static_cast<std::size_t>(line.text.data() - start) + line.text.size() > stray) {
            return ParseError{number, strayByteFault(line.text)};
        }
        auto fault = classify(line);
        if (!fault && line.kind == Kind::Section) {
            const auto [first, fresh] = sectionLines.emplace(line.name, number);
            if (!fresh) {
                fault = "duplicate section [" + std::string(line.name) + "], first at line " +
                        std::to_string(first->second);
            }
        } else if (!fault && line.kind == Kind::Entry) {
            if (sectionLines.empty()) {
                fault = "key=value before any [section]";
            } else if (const auto [first, fresh] =
                           entryLines.emplace(EntryKey{sectionLines.size(), line.name}, number);
                       !fresh) {
                fault = "duplicate entry " + std::string(line.name) + ", first at line " +
                        std::to_string(first->second);
            }
        }
        if (fault) {
            return ParseError{number, *fault};
        }
        doc.lines.push_back(line);
    }
    return std::nullopt;
}

std::string serialise(const Document& doc) {
    std::string text(doc.bom ? kBom : std::string_view{});
    for (const Line& line : doc.lines) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

std::optional<std::string> findSection(const Document& doc, std::string_view product) {
    const auto header = sectionAt(doc, product);
    if (header == kNone) {
        return std::nullopt;
    }
    return std::string(doc.lines[header].name);
}

std::optional<std::string> findValue(const Document& doc, std::string_view product,
                                     std::string_view entry) {
    const auto header = sectionAt(doc, product);
    const auto at = header == kNone ? kNone : entryAt(doc, header, entry);
    if (at == kNone) {
        return std::nullopt;
    }
    return std::string(doc.lines[at].value);
}

std::vector<std::string> sections(const Document& doc) {
    std::vector<std::string> names;
    for (const Line& line : doc.lines) {
        if (line.kind == Kind::Section) {
            names.emplace_back(line.name);
        }
    }
    return names;
}

Entries entries(const Document& doc, std::string_view product) {
    Entries found;
    const auto header = sectionAt(doc, product);
    if (header != kNone) {
        const auto end = sectionEnd(doc, header);
        for (std::size_t i = header + 1; i < end; ++i) {
            if (doc.lines[i].kind == Kind::Entry) {
                found.emplace_back(doc.lines[i].name, doc.lines[i].value);
            }
        }
    }
    return found;
}

bool addSection(Document& doc, std::string_view product) {
    if (sectionAt(doc, product) != kNone) {
        return false;
    }
    if (!doc.lines.empty() && doc.lines.back().kind != Kind::Blank) {
        insertLine(doc, doc.lines.size(), Line{});
    }
    insertLine(doc, doc.lines.size(), makeSection(doc, product));
    return true;
}

bool setValue(Document& doc, std::string_view product, std::string_view entry,
              std::string_view value) {
    const bool added = addSection(doc, product);
    const auto header = sectionAt(doc, product);
    const auto at = entryAt(doc, header, entry);
    if (at == kNone) {
        insertLine(doc, afterLastEntry(doc, header), makeEntry(doc, entry, value));
        return true;
    }
    Line& line = doc.lines[at];
    if (line.value == value) {
        return added;
    }
    // The key keeps its spelling and spacing; only what follows '=' changes.
    setText(doc, line, line.text.substr(0, line.text.find('=') + 1), value);
    return true;
}

bool removeSection(Document& doc, std::string_view product) {
    const auto header = sectionAt(doc, product);
    if (header == kNone) {
        return false;
    }
    const auto first = doc.lines.begin() + static_cast<std::ptrdiff_t>(header);
    doc.lines.erase(first,
                    first + static_cast<std::ptrdiff_t>(afterLastEntry(doc, header) - header));
    return true;
}

bool removeEntry(Document& doc, std::string_view product, std::string_view entry) {
    const auto header = sectionAt(doc, product);
    const auto at = header == kNone ? kNone : entryAt(doc, header, entry);
    if (at == kNone) {
        return false;
    }
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

}  // namespace vlregut::ini
