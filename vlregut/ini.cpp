#include "vlregut/ini.h"

#include <map>

#include "vlregut/names.h"

namespace vlregut::ini {
namespace {

using Kind = Line::Kind;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr auto npos = std::string_view::npos;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::string> classify(Line& line) {
    const std::string_view text = line.text;
    if (text.find('\r') != npos) {
        return "carriage return not followed by a line feed";
    }
    if (text.find('\0') != npos) {
        return "NUL byte";
    }
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

// New lines follow the file's own line breaks, so a file edited on Windows stays consistent.
void insertLine(Document& doc, std::size_t at, Line line) {
    std::string eol = "\n";
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
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

Line makeLine(Kind kind, std::string_view name, std::string_view value = {}) {
    Line line;
    line.kind = kind;
    line.name = name;
    line.value = value;
    if (kind == Kind::Section) {
        line.text = "[" + line.name + "]";
    } else if (kind == Kind::Entry) {
        line.text = line.name + "=" + line.value;
    }
    return line;
}

}  // namespace

std::optional<ParseError> parse(std::string_view text, Document& doc) {
    doc = Document{};
    if (text.starts_with(kBom)) {
        doc.bom = true;
        text.remove_prefix(kBom.size());
    }
    std::map<std::string, int> sectionLines;  // folded id -> line number
    std::map<std::string, int> entryLines;    // of the current section
    bool inSection = false;
    for (int number = 1; !text.empty(); ++number) {
        Line line;
        const auto end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == npos ? text.size() : end + 1);
        if (end != npos) {
            line.eol = raw.ends_with('\r') ? "\r\n" : "\n";
            raw.remove_suffix(line.eol.size() - 1);
        }
        line.text = raw;
        auto fault = classify(line);
        if (!fault && line.kind == Kind::Section) {
            const auto [first, fresh] = sectionLines.emplace(foldCase(line.name), number);
            if (!fresh) {
                fault = "duplicate section [" + line.name + "], first at line " +
                        std::to_string(first->second);
            }
            entryLines.clear();
            inSection = true;
        } else if (!fault && line.kind == Kind::Entry) {
            if (!inSection) {
                fault = "key=value before any [section]";
            } else if (const auto [first, fresh] = entryLines.emplace(foldCase(line.name), number);
                       !fresh) {
                fault = "duplicate entry " + line.name + ", first at line " +
                        std::to_string(first->second);
            }
        }
        if (fault) {
            return ParseError{number, *fault};
        }
        doc.lines.push_back(std::move(line));
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
    return doc.lines[header].name;
}

std::optional<std::string> findValue(const Document& doc, std::string_view product,
                                     std::string_view entry) {
    const auto header = sectionAt(doc, product);
    const auto at = header == kNone ? kNone : entryAt(doc, header, entry);
    if (at == kNone) {
        return std::nullopt;
    }
    return doc.lines[at].value;
}

std::vector<std::string> sections(const Document& doc) {
    std::vector<std::string> names;
    for (const Line& line : doc.lines) {
        if (line.kind == Kind::Section) {
            names.push_back(line.name);
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
    insertLine(doc, doc.lines.size(), makeLine(Kind::Section, product));
    return true;
}

bool setValue(Document& doc, std::string_view product, std::string_view entry,
              std::string_view value) {
    const bool added = addSection(doc, product);
    const auto header = sectionAt(doc, product);
    const auto at = entryAt(doc, header, entry);
    if (at == kNone) {
        insertLine(doc, afterLastEntry(doc, header), makeLine(Kind::Entry, entry, value));
        return true;
    }
    Line& line = doc.lines[at];
    if (line.value == value) {
        return added;
    }
    // The key keeps its spelling and spacing; only what follows '=' changes.
    line.text.resize(line.text.find('=') + 1);
    line.text += value;
    line.value = value;
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
