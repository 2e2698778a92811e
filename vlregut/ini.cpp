#include "vlregut/ini.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "vlregut/names.h"

namespace vlregut::ini {
namespace {

using Kind = Line::Kind;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kLf = "\n";
constexpr std::string_view kCrLf = "\r\n";
constexpr auto npos = std::string_view::npos;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool isBlank(char c) {
    return c == ' ' || c == '\t';
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

// Names are checked and hashed eight bytes at a time: a store may hold thousands, and every
// program of the suite reads the store as it starts.
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kMix = 0x9E3779B97F4A7C15u;

// Non-zero when a byte of word is below limit (at most 0x80); the lowest flagged byte is the
// first such byte.
constexpr std::uint64_t below(std::uint64_t word, std::uint64_t limit) {
    return (word - kOnes * limit) & ~word & (kOnes * 0x80);
}

// Non-zero when a name may not hold a byte of word: a control byte.
constexpr std::uint64_t controls(std::uint64_t word) {
    return below(word, 0x20) | below(word ^ (kOnes * 0x7f), 1);
}

// A name is hashed a word at a time; a last short word is filled up with 'a', which passes
// every check. Setting bit 5 of every byte folds A-Z, so names that sameName matches hash alike.
void mix(std::uint64_t& mixed, std::uint64_t word) {
    mixed = (mixed ^ (word | (kOnes * 0x20))) * kMix;
    mixed ^= mixed >> 32;
}

std::uint64_t filledUp(std::uint64_t word, std::size_t kept) {
    const std::uint64_t mask = (std::uint64_t{1} << 8 * kept) - 1;
    return (word & mask) | (kOnes * 'a' & ~mask);
}

std::uint32_t finish(std::uint64_t mixed, std::size_t length) {
    // Multiplying carries bits only upwards: the last word's top bytes still need spreading.
    mixed = (mixed ^ length) * kMix;
    return static_cast<std::uint32_t>(mixed ^ mixed >> 32);
}

std::uint64_t load(const char* at) {
    static_assert(std::endian::native == std::endian::little, "a word's first bytes are its low");
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Checks a name as isValidProductId (stop ']') or isValidEntryName (stop '=') do, where the
// line's layout has already kept out edge blanks and a leading '[', ';' or '#'. Bytes up to
// `end` may be read.
[[gnu::always_inline]] inline bool checkName(std::string_view name, const char* end, char stop,
                                             std::uint32_t& hash) {
    if (name.empty() || name.size() > kMaxNameLength) {
        return false;
    }
    const std::uint64_t stops = kOnes * static_cast<unsigned char>(stop);
    std::uint64_t bad = 0;
    std::uint64_t mixed = 0;
    for (std::size_t at = 0; at < name.size(); at += 8) {
        const std::size_t left = name.size() - at;
        std::uint64_t word = 0;
        if (end - (name.data() + at) >= 8) {
            word = load(name.data() + at);
        } else {
            std::memcpy(&word, name.data() + at, left);
        }
        word = left < 8 ? filledUp(word, left) : word;
        bad |= controls(word) | below(word ^ stops, 1);
        mix(mixed, word);
    }
    hash = finish(mixed, name.size());
    return bad == 0;
}

const char* endOfLine(const char* at, const char* end) {
    const auto* newline = static_cast<const char*>(std::memchr(at, '\n', end - at));
    return newline == nullptr ? end : newline;
}

// Reads the line that starts at `at`: its parts, the hash of its name, and where the next line
// starts. Returns what the format refuses in it, if anything. Every read of a store goes through
// here for each line, hence pointers, and inlined into its few callers.
[[gnu::always_inline]] inline const char* readLine(std::string_view text, const char* at,
                                                   Line& line, std::uint32_t& hash,
                                                   const char*& next) {
    const char* const end = text.data() + text.size();
    const char* last = endOfLine(at, end);
    next = last == end ? end : last + 1;
    line.eol = last == end ? std::string_view{} : last > at && last[-1] == '\r' ? kCrLf : kLf;
    last -= line.eol.size() > 1 ? 1 : 0;
    line.text = {at, static_cast<std::size_t>(last - at)};
    line.name = {};
    line.value = {};
    const char* first = at;
    while (first < last && isBlank(*first)) {
        ++first;
    }
    if (first == last || *first == ';' || *first == '#') {
        line.kind = first == last ? Kind::Blank : Kind::Comment;
        return nullptr;
    }
    if (*first == '[') {
        while (isBlank(last[-1])) {
            --last;  // stops at the '[' at the latest
        }
        if (last - first < 2 || last[-1] != ']') {
            return "expected ']' at the end of the section header";
        }
        line.kind = Kind::Section;
        const char* from = first + 1;
        const char* to = last - 1;
        while (from < to && isBlank(*from)) {
            ++from;
        }
        while (to > from && isBlank(to[-1])) {
            --to;
        }
        line.name = {from, static_cast<std::size_t>(to - from)};
        return checkName(line.name, end, ']', hash) ? nullptr
                                                    : "invalid product id in section header";
    }
    const char* equals = static_cast<const char*>(std::memchr(first, '=', last - first));
    if (equals == nullptr) {
        return "expected [section] or key=value";
    }
    line.kind = Kind::Entry;
    line.value = {equals + 1, static_cast<std::size_t>(last - equals - 1)};
    while (equals > first && isBlank(equals[-1])) {
        --equals;
    }
    line.name = {first, static_cast<std::size_t>(equals - first)};
    return checkName(line.name, end, '=', hash) ? nullptr : "invalid entry name";
}

std::string_view nameOf(std::string_view text, const Span& span) {
    return text.substr(span.name, span.length);
}

// The position among spans of the one named like name, or kNone. The index is an
// open-addressing table of 1 + positions, kept at most half full.
std::size_t findName(std::string_view text, const std::vector<std::uint32_t>& index,
                     const std::vector<Span>& spans, std::string_view name, std::uint32_t hash) {
    const std::size_t mask = index.size() - 1;
    for (std::size_t slot = hash & mask; !index.empty() && index[slot] != 0;
         slot = (slot + 1) & mask) {
        const Span& span = spans[index[slot] - 1];
        if (span.hash == hash && sameName(nameOf(text, span), name)) {
            return index[slot] - 1;
        }
    }
    return kNone;
}

// The position of an earlier span with the same name as the last, or kNone. While the spans are
// `few` or fewer they are compared in turn; then an index gets them all.
std::size_t firstOfLast(std::string_view text, std::vector<std::uint32_t>& index,
                        const std::vector<Span>& spans, std::size_t few) {
    const std::size_t last = spans.size() - 1;
    const Span& added = spans[last];
    const auto same = [&](const Span& span) {
        return span.hash == added.hash && sameName(nameOf(text, span), nameOf(text, added));
    };
    if (spans.size() <= few) {
        const auto first = std::find_if(spans.begin(), spans.end() - 1, same);
        return first == spans.end() - 1 ? kNone : static_cast<std::size_t>(first - spans.begin());
    }
    if (2 * spans.size() > index.size()) {
        index.assign(std::bit_ceil(2 * spans.size() + 1), 0);
        const std::size_t mask = index.size() - 1;
        for (std::size_t at = 0; at < last; ++at) {
            std::size_t slot = spans[at].hash & mask;
            while (index[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            index[slot] = static_cast<std::uint32_t>(at + 1);
        }
    }
    const std::size_t mask = index.size() - 1;
    std::size_t slot = added.hash & mask;
    for (; index[slot] != 0; slot = (slot + 1) & mask) {
        if (same(spans[index[slot] - 1])) {
            return index[slot] - 1;
        }
    }
    index[slot] = static_cast<std::uint32_t>(last + 1);
    return kNone;
}

Span spanOf(std::string_view text, const Line& line, std::uint32_t hash) {
    const auto name = static_cast<std::uint32_t>(line.name.data() - text.data());
    return {name, static_cast<std::uint32_t>(line.name.size()),
            static_cast<std::uint32_t>(text.size()), hash};
}

std::string lineOf(std::string_view text, const Span& span) {
    return std::to_string(1 + std::count(text.begin(), text.begin() + span.name, '\n'));
}

// Most sections hold a few entries, compared in turn; a section with more gets an index.
constexpr std::size_t kFewEntries = 8;

// Checks every line of the document's text and finds its sections, and its lines if asked.
template <bool keepLines>
std::optional<ParseError> scan(Document& doc) {
    const std::string_view text = source(doc);
    doc.lines.clear();
    doc.sections.clear();
    doc.index.clear();
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        return ParseError{1, "larger than 4 GiB"};
    }
    doc.bom = text.starts_with(kBom);
    // Room for a section every 32 bytes spares growing them, as most stores have fewer.
    doc.sections.reserve(text.size() / 32);
    doc.index.assign(std::bit_ceil(text.size() / 16 + 1), 0);
    const char* const stray = text.data() + std::min(firstStrayByte(text), text.size());
    std::vector<Span> entries;  // of the section read last
    std::vector<std::uint32_t> entryIndex;
    Line line;
    std::uint32_t hash = 0;
    const char* next = text.data() + (doc.bom ? kBom.size() : 0);
    for (int number = 1; next < text.data() + text.size(); ++number) {
        const char* const at = next;
        const char* fault = readLine(text, at, line, hash, next);
        if (line.text.data() + line.text.size() > stray) {
            return ParseError{number, strayByteFault(line.text)};
        }
        if (fault != nullptr) {
            return ParseError{number, fault};
        }
        if (line.kind == Kind::Section) {
            if (!doc.sections.empty()) {
                doc.sections.back().end = static_cast<std::uint32_t>(at - text.data());
            }
            doc.sections.push_back(spanOf(text, line, hash));
            const auto first = firstOfLast(text, doc.index, doc.sections, 0);
            if (first != kNone) {
                return ParseError{number, "duplicate section [" + std::string(line.name) +
                                              "], first at line " +
                                              lineOf(text, doc.sections[first])};
            }
            entries.clear();
            entryIndex.clear();
        } else if (line.kind == Kind::Entry) {
            if (doc.sections.empty()) {
                return ParseError{number, "key=value before any [section]"};
            }
            entries.push_back(spanOf(text, line, hash));
            const auto first =
                entries.size() == 1 ? kNone : firstOfLast(text, entryIndex, entries, kFewEntries);
            if (first != kNone) {
                return ParseError{number, "duplicate entry " + std::string(line.name) +
                                              ", first at line " + lineOf(text, entries[first])};
            }
        }
        if constexpr (keepLines) {
            doc.lines.push_back(line);
        }
    }
    return std::nullopt;
}

// The first edit builds the lines; the text was checked when it was parsed.
void makeEditable(Document& doc) {
    if (!doc.edited) {
        scan<true>(doc);
        doc.sections = {};
        doc.index = {};
        doc.edited = true;
    }
}

// The position of the product's section in doc.sections, or kNone.
std::size_t sectionOf(const Document& doc, std::string_view product) {
    std::uint32_t hash = 0;
    return checkName(product, product.data() + product.size(), ']', hash)
               ? findName(source(doc), doc.index, doc.sections, product, hash)
               : kNone;
}

// Calls found(line) for each entry of a section in order, until it returns true.
template <typename Found>
void forEachEntry(const Document& doc, const Span& section, Found found) {
    const std::string_view text = source(doc);
    const char* const end = text.data() + section.end;
    const auto header = text.find('\n', section.name);
    const char* next = header == npos ? end : text.data() + header + 1;
    Line line;
    std::uint32_t hash = 0;
    while (next < end) {
        readLine(text, next, line, hash, next);
        if (line.kind == Kind::Entry && found(line)) {
            return;
        }
    }
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

}  // namespace

std::optional<ParseError> parse(std::string_view text, Document& doc) {
    return parse(Text(text.begin(), text.end()), doc);
}

std::optional<ParseError> parse(Text&& text, Document& doc) {
    doc = Document{};
    doc.text = std::make_shared<const Text>(std::move(text));
    auto fault = scan<false>(doc);
    if (fault) {
        doc = Document{};
    }
    return fault;
}

std::string_view source(const Document& doc) {
    return doc.text ? std::string_view(doc.text->data(), doc.text->size()) : std::string_view{};
}

std::string serialise(const Document& doc) {
    if (!doc.edited) {
        return std::string(source(doc));
    }
    std::string text(doc.bom ? kBom : std::string_view{});
    for (const Line& line : doc.lines) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

std::optional<std::string> findSection(const Document& doc, std::string_view product) {
    if (!doc.edited) {
        const auto at = sectionOf(doc, product);
        if (at == kNone) {
            return std::nullopt;
        }
        return std::string(nameOf(source(doc), doc.sections[at]));
    }
    const auto header = sectionAt(doc, product);
    if (header == kNone) {
        return std::nullopt;
    }
    return std::string(doc.lines[header].name);
}

std::optional<std::string> findValue(const Document& doc, std::string_view product,
                                     std::string_view entry) {
    if (!doc.edited) {
        const auto at = sectionOf(doc, product);
        std::optional<std::string> value;
        if (at != kNone) {
            forEachEntry(doc, doc.sections[at], [&](const Line& line) {
                if (sameName(line.name, entry)) {
                    value = line.value;
                }
                return value.has_value();
            });
        }
        return value;
    }
    const auto header = sectionAt(doc, product);
    const auto at = header == kNone ? kNone : entryAt(doc, header, entry);
    if (at == kNone) {
        return std::nullopt;
    }
    return std::string(doc.lines[at].value);
}

std::vector<std::string> sections(const Document& doc) {
    std::vector<std::string> names;
    // One of the two is empty.
    for (const Span& section : doc.sections) {
        names.emplace_back(nameOf(source(doc), section));
    }
    for (const Line& line : doc.lines) {
        if (line.kind == Kind::Section) {
            names.emplace_back(line.name);
        }
    }
    return names;
}

Entries entries(const Document& doc, std::string_view product) {
    Entries found;
    if (!doc.edited) {
        const auto at = sectionOf(doc, product);
        if (at != kNone) {
            forEachEntry(doc, doc.sections[at], [&](const Line& line) {
                found.emplace_back(line.name, line.value);
                return false;
            });
        }
        return found;
    }
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
    makeEditable(doc);
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
    makeEditable(doc);
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
    makeEditable(doc);
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
    makeEditable(doc);
    const auto header = sectionAt(doc, product);
    const auto at = header == kNone ? kNone : entryAt(doc, header, entry);
    if (at == kNone) {
        return false;
    }
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

}  // namespace vlregut::ini
