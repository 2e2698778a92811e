#include "vlregut/ini.h"

#include <bit>

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

std::size_t countLines(std::string_view text) {
    std::size_t lines = 1;
    for (auto at = text.find('\n'); at != npos; at = text.find('\n', at + 1)) {
        ++lines;
    }
    return lines;
}

// The sections and entries read so far, found by name without regard to ASCII case, to report
// a name that comes twice. An open-addressing table of line numbers, sized once for the whole
// text: a large file costs one allocation, not one per name.
class Names {
  public:
    explicit Names(std::size_t lines) : slots_(std::bit_ceil(lines + lines / 2 + 1)) {}

    // The number of an earlier line of the same scope (0 for sections, a section's number for
    // its entries) and name; otherwise records this one and answers 0.
    int firstOf(const Document& doc, int scope, std::string_view name, int number) {
        const std::size_t mask = slots_.size() - 1;
        const std::size_t hash = foldedHash(name) ^ (static_cast<std::size_t>(scope) * 0x9E3779B9u);
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.number == 0) {
                slot = {number, scope};
                return 0;
            }
            if (slot.scope == scope && sameName(doc.lines[slot.number - 1].name, name)) {
                return slot.number;
            }
        }
    }

  private:
    struct Slot {
        int number = 0;  // of the line; 0: free
        int scope = 0;
    };
    std::vector<Slot> slots_;
};

}  // namespace

std::optional<ParseError> parse(std::string_view text, Document& doc) {
    return parse(std::string(text), doc);
}

std::string_view source(const Document& doc) {
    return doc.storage.empty() ? std::string_view{} : *doc.storage.front();
}

std::optional<ParseError> parse(std::string&& whole, Document& doc) {
    doc = Document{};
    std::string_view text = keep(doc, std::move(whole));
    if (text.starts_with(kBom)) {
        doc.bom = true;
        text.remove_prefix(kBom.size());
    }
    const char* const start = text.data();
    const std::size_t stray = firstStrayByte(text);
    const std::size_t lines = countLines(text);
    doc.lines.reserve(lines);
    Names names(lines);
    int section = 0;  // the number of the section line read last
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
            if (const int first = names.firstOf(doc, 0, line.name, number)) {
                fault = "duplicate section [" + std::string(line.name) + "], first at line " +
                        std::to_string(first);
            }
            section = number;
        } else if (!fault && line.kind == Kind::Entry) {
            if (section == 0) {
                fault = "key=value before any [section]";
            } else if (const int first = names.firstOf(doc, section, line.name, number)) {
                fault = "duplicate entry " + std::string(line.name) + ", first at line " +
                        std::to_string(first);
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
