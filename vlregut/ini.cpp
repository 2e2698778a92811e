#include "vlregut/ini.h"

#include <algorithm>
#include <functional>
#include <initializer_list>

#include "vlregut/names.h"

namespace vlregut::ini {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr auto npos = std::string_view::npos;

struct Line {
    enum class Kind { Blank, Comment, Section, Entry };
    Kind kind = Kind::Blank;
    std::size_t start = 0;   // where the line starts in the text
    std::size_t end = 0;     // where its line break starts
    std::size_t next = 0;    // where the next line starts
    std::string_view name;   // product id of a Section, entry name of an Entry
    std::string_view value;  // value of an Entry, verbatim
};
using Kind = Line::Kind;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view DropBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Reads the line that starts at `start`; returns what the format refuses in it, if anything.
// Stray bytes (a NUL, a CR not followed by LF) are the caller's to find.
const char* ReadLine(std::string_view text, std::size_t start, Line& line) {
    const std::size_t feed = std::min(text.find('\n', start), text.size());
    line.kind = Kind::Blank;
    line.name = line.value = {};
    line.start = start;
    line.next = std::min(feed + 1, text.size());
    // A CR right before the LF belongs to the line break.
    line.end = feed < text.size() && feed > start && text[feed - 1] == '\r' ? feed - 1 : feed;
    const std::string_view body = SkipBlanks(text.substr(start, line.end - start));
    if (body.empty() || body.front() == ';' || body.front() == '#') {
        line.kind = body.empty() ? Kind::Blank : Kind::Comment;
        return nullptr;
    }
    if (body.front() == '[') {
        const std::string_view header = DropBlanks(body);
        if (header.size() < 2 || header.back() != ']') {
            return "expected ']' at the end of the section header";
        }
        line.kind = Kind::Section;
        line.name = DropBlanks(SkipBlanks(header.substr(1, header.size() - 2)));
        return IsValidProductId(line.name) ? nullptr : "invalid product id in section header";
    }
    const std::size_t equals = body.find('=');
    if (equals == npos) {
        return "expected [section] or key=value";
    }
    line.kind = Kind::Entry;
    line.name = DropBlanks(body.substr(0, equals));
    line.value = body.substr(equals + 1);
    return IsValidEntryName(line.name) ? nullptr : "invalid entry name";
}

std::size_t FirstLine(std::string_view text) {
    return text.starts_with(kBom) ? kBom.size() : 0;
}

// Where the first byte lies that no line may hold: a NUL, or a CR that does not end a line.
std::size_t FirstStrayByte(std::string_view text) {
    std::size_t stray = text.find('\0');
    for (auto cr = text.find('\r'); cr < stray; cr = text.find('\r', cr + 1)) {
        if (cr + 1 == text.size() || text[cr + 1] != '\n') {
            stray = cr;
        }
    }
    return stray;
}

int LineOf(std::string_view text, std::size_t offset) {
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

std::string_view NameAt(std::string_view text, std::size_t start) {
    Line line;
    ReadLine(text, start, line);
    return line.name;
}

// A name as the index keeps it: (std::hash of the folded name, where its line starts).
using Key = std::pair<std::size_t, std::size_t>;

std::size_t HashOf(std::string_view name) {
    return std::hash<std::string>{}(FoldCase(name));
}

// A lambda rather than a function, so that sorting calls it inline.
constexpr auto ByHash = [](const Key& a, const Key& b) { return a.first < b.first; };

// Sorts the keys of some lines, and finds the first of those lines whose name an earlier one
// has: returns where that one starts, and where the earlier one does.
std::optional<Key> FirstRepeat(std::string_view text, std::vector<Key>& keys) {
    std::sort(keys.begin(), keys.end(), ByHash);
    std::optional<Key> repeat;
    for (auto one = keys.begin(); one != keys.end(); ++one) {
        // Names that hash alike are next to each other, in no particular order.
        for (auto other = one + 1; other != keys.end() && other->first == one->first; ++other) {
            const auto [first, later] = std::minmax(one->second, other->second);
            if ((!repeat || later < repeat->first) &&
                FoldCase(NameAt(text, first)) == FoldCase(NameAt(text, later))) {
                repeat = Key{later, first};
            }
        }
    }
    return repeat;
}

// The entry lines from `from` up to the next section, or to `until`, in order.
std::vector<Line> EntryLines(std::string_view text, std::size_t from, std::size_t until) {
    std::vector<Line> lines;
    Line line;
    for (std::size_t at = from; at < until; at = line.next) {
        ReadLine(text, at, line);
        if (line.kind == Kind::Section) {
            break;
        }
        if (line.kind == Kind::Entry) {
            lines.push_back(line);
        }
    }
    return lines;
}

ParseError Repeated(std::string_view text, const Key& repeat, const char* what, const char* after) {
    return {LineOf(text, repeat.first), std::string(what)
                                            .append(NameAt(text, repeat.first))
                                            .append(after)
                                            .append(", first at line ")
                                            .append(std::to_string(LineOf(text, repeat.second)))};
}

// Checks every line of the document's text and finds its sections. Names are compared once
// they are all known: a section's entries when it ends, and the sections when the text ends or
// a fault stops the reading, any repeat among them coming before that fault.
std::optional<ParseError> Scan(Document& doc) {
    const std::string_view text = Source(doc);
    const std::size_t stray = FirstStrayByte(text);
    std::optional<ParseError> fault;
    std::size_t body = 0;     // where the lines of the section read last start
    std::size_t entries = 0;  // how many of them are entries
    Line line;
    for (std::size_t at = FirstLine(text);; at = line.next) {
        const bool end = at == text.size();
        const char* refused = nullptr;
        if (!end) {
            refused = ReadLine(text, at, line);
            if (stray < line.next) {
                refused = text.substr(at, line.end - at).find('\r') != npos
                              ? "carriage return not followed by a line feed"
                              : "NUL byte";
            } else if (!refused && line.kind == Kind::Entry && doc.index.empty()) {
                refused = "key=value before any [section]";
            }
        }
        if (end || refused || line.kind == Kind::Section) {
            // Most sections have one entry, which needs no comparing.
            if (entries > 1) {
                std::vector<Key> keys;
                for (const Line& entry : EntryLines(text, body, at)) {
                    keys.push_back({HashOf(entry.name), entry.start});
                }
                if (const auto repeat = FirstRepeat(text, keys)) {
                    fault = Repeated(text, *repeat, "duplicate entry ", "");
                    break;
                }
            }
            entries = 0;
        }
        if (end || refused) {
            fault = refused ? std::optional(ParseError{LineOf(text, at), refused}) : std::nullopt;
            break;
        }
        if (line.kind == Kind::Section) {
            doc.index.push_back({HashOf(line.name), at});
            body = line.next;
        } else if (line.kind == Kind::Entry) {
            ++entries;
        }
    }
    if (const auto repeat = FirstRepeat(text, doc.index)) {
        return Repeated(text, *repeat, "duplicate section [", "]");
    }
    return fault;
}

// The header line of the product's section.
std::optional<Line> HeaderOf(const Document& doc, std::string_view product) {
    const std::string folded = FoldCase(product);
    const Key key{std::hash<std::string>{}(folded), 0};
    Line header;
    for (auto at = std::lower_bound(doc.index.begin(), doc.index.end(), key, ByHash);
         at != doc.index.end() && at->first == key.first; ++at) {
        ReadLine(Source(doc), at->second, header);
        if (FoldCase(header.name) == folded) {
            return header;
        }
    }
    return std::nullopt;
}

std::optional<Line> EntryLine(std::string_view text, const Line& header, std::string_view entry) {
    const std::string folded = FoldCase(entry);
    for (const Line& line : EntryLines(text, header.next, text.size())) {
        if (FoldCase(line.name) == folded) {
            return line;
        }
    }
    return std::nullopt;
}

// Blank and comment lines after a section's last entry usually introduce what follows it.
std::size_t AfterLastEntry(std::string_view text, const Line& header) {
    const std::vector<Line> lines = EntryLines(text, header.next, text.size());
    return lines.empty() ? header.next : lines.back().next;
}

// Replaces `length` bytes at `at` with `with`. The text parses again, unless the edit was wrong.
bool Splice(Document& doc, std::size_t at, std::size_t length, std::string_view with) {
    const std::string_view old = Source(doc);
    Text text(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(at));
    text.insert(text.end(), with.begin(), with.end());
    text.insert(text.end(), old.begin() + static_cast<std::ptrdiff_t>(at + length), old.end());
    Document edited;
    if (Parse(std::move(text), edited)) {
        return false;
    }
    doc = std::move(edited);
    return true;
}

// Inserts lines at `at`, each ended by the file's own line break, so that a file edited on
// Windows stays consistent; at the end of a last line that has none, one goes first.
bool Insert(Document& doc, std::size_t at, std::initializer_list<std::string_view> lines) {
    const std::string_view text = Source(doc);
    const std::string_view eol = text.substr(0, text.find('\n')).ends_with('\r') ? "\r\n" : "\n";
    std::string added(at == text.size() && at > FirstLine(text) && !text.ends_with('\n') ? eol
                                                                                         : "");
    for (const std::string_view line : lines) {
        added.append(line).append(eol);
    }
    return Splice(doc, at, 0, added);
}

}  // namespace

std::optional<ParseError> Parse(std::string_view text, Document& doc) {
    return Parse(Text(text.begin(), text.end()), doc);
}

std::optional<ParseError> Parse(Text&& text, Document& doc) {
    doc = Document{};
    doc.text = std::move(text);
    auto fault = Scan(doc);
    if (fault) {
        doc = Document{};
    }
    return fault;
}

std::string_view Source(const Document& doc) {
    return {doc.text.data(), doc.text.size()};
}

std::string Serialise(const Document& doc) {
    return std::string(Source(doc));
}

std::optional<std::string> FindSection(const Document& doc, std::string_view product) {
    const auto header = HeaderOf(doc, product);
    return header ? std::optional<std::string>(header->name) : std::nullopt;
}

std::optional<std::string> FindValue(const Document& doc, std::string_view product,
                                     std::string_view entry) {
    const auto header = HeaderOf(doc, product);
    const auto line = header ? EntryLine(Source(doc), *header, entry) : std::nullopt;
    return line ? std::optional<std::string>(line->value) : std::nullopt;
}

std::vector<std::string> Sections(const Document& doc) {
    std::vector<Key> keys = doc.index;
    std::sort(keys.begin(), keys.end(),
              [](const Key& a, const Key& b) { return a.second < b.second; });
    std::vector<std::string> names;
    for (const Key& key : keys) {
        names.emplace_back(NameAt(Source(doc), key.second));
    }
    return names;
}

Entries EntriesOf(const Document& doc, std::string_view product) {
    Entries found;
    if (const auto header = HeaderOf(doc, product)) {
        for (const Line& line : EntryLines(Source(doc), header->next, Source(doc).size())) {
            found.emplace_back(line.name, line.value);
        }
    }
    return found;
}

bool AddSection(Document& doc, std::string_view product) {
    if (!IsValidProductId(product) || HeaderOf(doc, product)) {
        return false;
    }
    const std::string_view text = Source(doc);
    Line last;
    for (std::size_t at = FirstLine(text); at < text.size(); at = last.next) {
        ReadLine(text, at, last);
    }
    // A new section goes at the end, after a blank line.
    const std::string header = std::string("[").append(product).append("]");
    return text.size() == FirstLine(text) || last.kind == Kind::Blank
               ? Insert(doc, text.size(), {header})
               : Insert(doc, text.size(), {"", header});
}

bool SetValue(Document& doc, std::string_view product, std::string_view entry,
              std::string_view value) {
    if (!IsValidEntryName(entry) || !IsValidValue(value)) {
        return false;
    }
    const bool added = AddSection(doc, product);
    const auto header = HeaderOf(doc, product);
    const auto line = header ? EntryLine(Source(doc), *header, entry) : std::nullopt;
    if (!header || (line && line->value == value)) {
        return added;
    }
    if (!line) {
        return Insert(doc, AfterLastEntry(Source(doc), *header),
                      {std::string(entry).append("=").append(value)});
    }
    // The entry keeps its spelling and spacing; only what follows '=' changes.
    return Splice(doc, static_cast<std::size_t>(line->value.data() - doc.text.data()),
                  line->value.size(), value);
}

bool RemoveSection(Document& doc, std::string_view product) {
    const auto header = HeaderOf(doc, product);
    return header &&
           Splice(doc, header->start, AfterLastEntry(Source(doc), *header) - header->start, {});
}

bool RemoveEntry(Document& doc, std::string_view product, std::string_view entry) {
    const auto header = HeaderOf(doc, product);
    const auto line = header ? EntryLine(Source(doc), *header, entry) : std::nullopt;
    return line && Splice(doc, line->start, line->next - line->start, {});
}

}  // namespace vlregut::ini
