#include "vlregut/ini.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "vlregut/names.h"

namespace vlregut::ini {
namespace {

using Kind = Line::Kind;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kLf = "\n";
constexpr std::string_view kCrLf = "\r\n";
constexpr auto npos = std::string_view::npos;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

const char* StrayByteFault(std::string_view text) {
    return text.find('\r') != npos ? "carriage return not followed by a line feed" : "NUL byte";
}

// Names are checked and hashed several bytes at a time: a store may hold thousands, and every
// program of the suite reads the store as it starts.
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kMix = 0x9E3779B97F4A7C15u;

std::uint64_t Load(const char* at) {
    static_assert(std::endian::native == std::endian::little, "a word's first bytes are its low");
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Flags (bit 7) each byte of word that no name may hold: a control byte, or stop (below 0x80).
// Bytes from 0x80 up are kept as they are; the low seven bits of the others are added to so
// that no carry crosses into the next byte.
constexpr std::uint64_t Refused(std::uint64_t word, std::uint64_t stops) {
    const std::uint64_t low = word & kOnes * 0x7f;
    const std::uint64_t fine = (low + kOnes * 0x60)               // from 0x20 up
                               & ~(low + kOnes * 0x01)            // but not 0x7f
                               & ((low ^ stops) + kOnes * 0x7f);  // nor stop
    return ~(word | fine) & kOnes * 0x80;
}

// A name is hashed a word at a time, the bytes past its end cleared in the last. Setting bit 5
// of every byte folds A-Z, so names that sameName matches hash alike.
std::uint64_t Mix(std::uint64_t mixed, std::uint64_t word) {
    return (mixed ^ (word | kOnes * 0x20)) * kMix;
}

// The first `kept` bytes of word, 0 to 8, and NULs.
std::uint64_t FirstBytes(std::uint64_t word, std::size_t kept) {
    static constexpr std::uint64_t kKept[9] = {0,
                                               0xff,
                                               0xffff,
                                               0xffffff,
                                               0xffffffff,
                                               0xffffffffff,
                                               0xffffffffffff,
                                               0xffffffffffffff,
                                               0xffffffffffffffff};
    return word & kKept[kept];
}

std::uint32_t Finish(std::uint64_t mixed, std::size_t length) {
    // Multiplying carries bits only upwards: the top bits are folded down before the last one.
    mixed ^= length;
    mixed = (mixed ^ mixed >> 29) * kMix;
    return static_cast<std::uint32_t>(mixed ^ mixed >> 32);
}

// Reads a name from `name` up to the first byte that no name may hold (a control byte or
// `stop`), a word at a time, and hashes it if asked; returns where it stopped. Bytes up to `end`
// may be read, and it stops there at the latest.
template <bool hashed>
const char* ScanName(const char* name, const char* end, char stop, std::uint32_t& hash) {
    const std::uint64_t stops = kOnes * static_cast<unsigned char>(stop);
    std::uint64_t mixed = 0;
    for (const char* at = name;; at += 8) {
        std::uint64_t word = 0;  // past `end`, NULs: control bytes that stop the name
        std::memcpy(&word, at, std::min<std::size_t>(8, static_cast<std::size_t>(end - at)));
        if (const std::uint64_t flags = Refused(word, stops); flags != 0) {
            const auto kept = static_cast<std::size_t>(std::countr_zero(flags) / 8);
            if constexpr (hashed) {
                mixed = kept == 0 ? mixed : Mix(mixed, FirstBytes(word, kept));
                hash = Finish(mixed, static_cast<std::size_t>(at - name) + kept);
            }
            return at + kept;
        }
        if constexpr (hashed) {
            mixed = Mix(mixed, word);
        }
    }
}

// The usual lines of a store are read sixteen bytes at a time where the processor compares them
// at once (SSE2, which every x86-64 has), else two words at a time.
#if defined(__SSE2__)
// The position of the first byte among the 16 at `at` that no name may hold (a control byte or
// stop), or 16.
[[gnu::always_inline]] inline unsigned FirstRefused(const char* at, char stop) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i below = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1f)), bytes);
    const __m128i refused =
        _mm_or_si128(below, _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7f)),
                                         _mm_cmpeq_epi8(bytes, _mm_set1_epi8(stop))));
    return std::countr_zero(static_cast<unsigned>(_mm_movemask_epi8(refused)) | 0x10000u);
}

// The position of the first line feed among the 32 bytes at `at`, or 32.
[[gnu::always_inline]] inline unsigned FirstNewline(const char* at) {
    const __m128i feed = _mm_set1_epi8('\n');
    const auto low = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), feed)));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16)), feed)));
    return std::countr_zero(low | high << 16);
}
#else
[[gnu::always_inline]] inline unsigned FirstRefused(const char* at, char stop) {
    const std::uint64_t stops = kOnes * static_cast<unsigned char>(stop);
    if (const std::uint64_t low = Refused(Load(at), stops); low != 0) {
        return std::countr_zero(low) / 8;
    }
    return 8 + std::countr_zero(Refused(Load(at + 8), stops)) / 8;  // 16 for none
}

// Flags (bit 7) the bytes of word equal to byte; only the lowest flag is sure to be right.
constexpr std::uint64_t EqualBytes(std::uint64_t word, char byte) {
    const std::uint64_t differ = word ^ kOnes * static_cast<unsigned char>(byte);
    return (differ - kOnes) & ~differ & kOnes * 0x80;
}

[[gnu::always_inline]] inline unsigned FirstNewline(const char* at) {
    unsigned word = 0;
    for (; word < 4; ++word) {
        if (const std::uint64_t feeds = EqualBytes(Load(at + 8 * word), '\n'); feeds != 0) {
            return 8 * word + std::countr_zero(feeds) / 8;
        }
    }
    return 32;
}
#endif

// Checks a name as IsValidProductId (stop ']') or IsValidEntryName (stop '=') do, where the
// line's layout has already kept out edge blanks and a leading '[', ';' or '#'.
bool CheckName(std::string_view name, char stop, std::uint32_t& hash) {
    const char* const end = name.data() + name.size();
    return !name.empty() && name.size() <= kMaxNameLength &&
           ScanName<true>(name.data(), end, stop, hash) == end;
}

const char* EndOfLine(const char* at, const char* end) {
    const auto* newline = static_cast<const char*>(std::memchr(at, '\n', end - at));
    return newline == nullptr ? end : newline;
}

// Reads the line that starts at `at`: its parts, the hash of its name, and where the next line
// starts. Returns what the format refuses in it, if anything.
const char* ReadLine(std::string_view text, const char* at, Line& line, std::uint32_t& hash,
                     const char*& next) {
    const char* const end = text.data() + text.size();
    const char* last = EndOfLine(at, end);
    next = last == end ? end : last + 1;
    line.eol = last == end ? std::string_view{} : last > at && last[-1] == '\r' ? kCrLf : kLf;
    last -= line.eol.size() > 1 ? 1 : 0;
    line.text = {at, static_cast<std::size_t>(last - at)};
    line.name = {};
    line.value = {};
    const char* first = at;
    while (first < last && IsBlank(*first)) {
        ++first;
    }
    if (first == last || *first == ';' || *first == '#') {
        line.kind = first == last ? Kind::Blank : Kind::Comment;
        return nullptr;
    }
    if (*first == '[') {
        while (IsBlank(last[-1])) {
            --last;  // stops at the '[' at the latest
        }
        if (last - first < 2 || last[-1] != ']') {
            return "expected ']' at the end of the section header";
        }
        line.kind = Kind::Section;
        const char* from = first + 1;
        const char* to = last - 1;
        while (from < to && IsBlank(*from)) {
            ++from;
        }
        while (to > from && IsBlank(to[-1])) {
            --to;
        }
        line.name = {from, static_cast<std::size_t>(to - from)};
        return CheckName(line.name, ']', hash) ? nullptr : "invalid product id in section header";
    }
    const char* equals = static_cast<const char*>(std::memchr(first, '=', last - first));
    if (equals == nullptr) {
        return "expected [section] or key=value";
    }
    line.kind = Kind::Entry;
    line.value = {equals + 1, static_cast<std::size_t>(last - equals - 1)};
    while (equals > first && IsBlank(equals[-1])) {
        --equals;
    }
    line.name = {first, static_cast<std::size_t>(equals - first)};
    return CheckName(line.name, '=', hash) ? nullptr : "invalid entry name";
}

std::string_view NameOf(std::string_view text, const Span& span) {
    return text.substr(span.name, span.length);
}

// The position among spans of the one named like name, or kNone. The index is an
// open-addressing table of 1 + positions, kept at most half full.
std::size_t FindName(std::string_view text, const std::vector<std::uint32_t>& index,
                     const std::vector<Span>& spans, std::string_view name, std::uint32_t hash) {
    const std::size_t mask = index.size() - 1;
    for (std::size_t slot = hash & mask; !index.empty() && index[slot] != 0;
         slot = (slot + 1) & mask) {
        const Span& span = spans[index[slot] - 1];
        if (span.hash == hash && SameName(NameOf(text, span), name)) {
            return index[slot] - 1;
        }
    }
    return kNone;
}

// Mixes into `mixed` the first `kept` of the 16 bytes at `at`, a word at a time as ScanName
// does.
[[gnu::always_inline]] inline std::uint64_t MixBlock(std::uint64_t mixed, const char* at,
                                                     unsigned kept) {
    std::uint64_t word = Load(at);
    if (kept > 8) {
        mixed = Mix(mixed, word);
        word = Load(at + 8);
        kept -= 8;
    }
    return kept == 0 ? mixed : Mix(mixed, FirstBytes(word, kept));
}

// Reads a name from `name` up to the first byte that no name may hold (a control byte or
// `stop`), 16 bytes at a time, and hashes it if asked: returns its length, or kNone for a name
// longer than any valid one or for one that ends within `spare` bytes of `end`.
template <bool hashed>
std::size_t LongName(const char* name, const char* end, std::size_t spare, char stop,
                     std::uint32_t& hash) {
    std::uint64_t mixed = 0;
    for (const char* at = name; static_cast<std::size_t>(end - at) >= 16 + spare &&
                                static_cast<std::size_t>(at - name) <= kMaxNameLength;
         at += 16) {
        const unsigned kept = FirstRefused(at, stop);
        if constexpr (hashed) {
            mixed = MixBlock(mixed, at, kept);
        }
        if (kept < 16) {
            const auto length = static_cast<std::size_t>(at - name) + kept;
            if constexpr (hashed) {
                hash = Finish(mixed, length);
            }
            return length;
        }
    }
    return kNone;
}

// As LongName, in one block for the usual name, shorter than 16 bytes; at least 16 + spare bytes
// must lie before end.
template <bool hashed>
[[gnu::always_inline]] inline std::size_t BlockName(const char* name, const char* end,
                                                    std::size_t spare, char stop,
                                                    std::uint32_t& hash) {
    const unsigned kept = FirstRefused(name, stop);
    if (kept == 16) [[unlikely]] {
        return LongName<hashed>(name, end, spare, stop, hash);
    }
    if constexpr (hashed) {
        hash = Finish(MixBlock(0, name, kept), kept);
    }
    return kept;
}

// The usual lines of a store are read in one pass over their name; readLine reads any other.
// They are read 16 or 32 bytes at a time, which must lie in the text: the limits say where
// such reads may start, exclusive.
struct Limits {
    const char* end;
    const char* section;  // for a line starting there
    const char* entry;    // for a line starting there
    const char* feeds;    // for the search for a line feed
};

Limits LimitsOf(std::string_view text) {
    const char* const end = text.data() + text.size();
    const auto before = [&](std::size_t bytes) { return end - std::min(text.size(), bytes); };
    return {end, before(18), before(15), before(31)};
}

// "[name]" with a valid name without edge blanks, and a line break right after it: returns
// where the name ends, with its hash, and sets next; nullptr for any other line.
[[gnu::always_inline]] inline const char* PlainSection(const char* at, const Limits& limits,
                                                       std::uint32_t& hash, const char*& next) {
    if (at >= limits.section) {
        return nullptr;
    }
    const char* const name = at + 1;
    const std::size_t length = BlockName<true>(name, limits.end, 2, ']', hash);
    if (length - 1 >= kMaxNameLength) {
        return nullptr;  // also when length is 0, or kNone
    }
    const char* const close = name + length;
    if (*close != ']' || *name == ' ' || close[-1] == ' ') {
        return nullptr;
    }
    if (close[1] == '\n') {
        next = close + 2;
    } else if (close[1] == '\r' && close[2] == '\n') {
        next = close + 3;
    } else {
        return nullptr;
    }
    return close;
}

// "name=value" with a valid name without edge blanks, and no stray byte: returns where the name
// ends and sets next; nullptr for any other line.
[[gnu::always_inline]] inline const char* PlainEntry(const char* at, const Limits& limits,
                                                     const char* stray, const char*& next) {
    if (at >= limits.entry) {
        return nullptr;
    }
    std::uint32_t unused = 0;
    const std::size_t length = BlockName<false>(at, limits.end, 0, '=', unused);
    if (length - 1 >= kMaxNameLength) {
        return nullptr;
    }
    const char* const equals = at + length;
    if (*equals != '=' || *at == ' ' || *at == ';' || *at == '#' || equals[-1] == ' ') {
        return nullptr;
    }
    const char* from = equals + 1;
    for (; from < limits.feeds; from += 32) {
        if (const unsigned feed = FirstNewline(from); feed < 32) {
            next = from + feed + 1;
            return next <= stray ? equals : nullptr;
        }
    }
    const char* const last = EndOfLine(from, limits.end);
    next = last == limits.end ? limits.end : last + 1;
    return next <= stray ? equals : nullptr;
}

// Makes the index at least `size` slots and puts the first `count` spans in it, all named
// apart.
void RebuildIndex(std::vector<std::uint32_t>& index, const std::vector<Span>& spans,
                  std::size_t count, std::size_t size) {
    index.assign(std::bit_ceil(size), 0);
    const std::size_t mask = index.size() - 1;
    for (std::size_t at = 0; at < count; ++at) {
        std::size_t slot = spans[at].hash & mask;
        while (index[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        index[slot] = static_cast<std::uint32_t>(at + 1);
    }
}

// Adds the last span to the index of the others, which grows to stay at most half full, unless
// an earlier span has its name: then returns that one's position, else kNone.
std::size_t AddLast(std::string_view text, std::vector<std::uint32_t>& index,
                    const std::vector<Span>& spans) {
    if (2 * spans.size() > index.size()) {
        RebuildIndex(index, spans, spans.size() - 1, 4 * spans.size());
    }
    const Span& added = spans.back();
    const std::size_t mask = index.size() - 1;
    std::size_t slot = added.hash & mask;
    for (; index[slot] != 0; slot = (slot + 1) & mask) {
        const Span& other = spans[index[slot] - 1];
        if (other.hash == added.hash && SameName(NameOf(text, other), NameOf(text, added))) {
            return index[slot] - 1;
        }
    }
    index[slot] = static_cast<std::uint32_t>(spans.size());
    return kNone;
}

int LineOf(std::string_view text, std::size_t offset) {
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

// A section's entries, to find a repeated name. Most sections hold one entry, which needs no
// more than counting; a few are compared in turn, and more than that get an index, only then
// needing their names hashed.
constexpr std::size_t kFewEntries = 8;
struct SectionEntries {
    std::vector<Span> spans;  // once there are two
    std::vector<std::uint32_t> index;
};

// Adds the entry number `count` (2 and up) of the last section, the line at `at`: returns the
// position of an earlier one with its name, or kNone. The first is read again when the second
// comes.
std::size_t AddEntry(std::string_view text, SectionEntries& entries, std::size_t count,
                     const Span& section, const char* at, const Span& entry) {
    std::vector<Span>& spans = entries.spans;
    if (count == 2) {
        spans.clear();
        entries.index.clear();
        Line line;
        std::uint32_t hash = 0;
        for (const char* next = text.data() + text.find('\n', section.name) + 1; next < at;) {
            ReadLine(text, next, line, hash, next);
            if (line.kind == Kind::Entry) {
                spans.push_back({static_cast<std::uint32_t>(line.name.data() - text.data()),
                                 static_cast<std::uint32_t>(line.name.size()), 0});
            }
        }
    }
    spans.push_back(entry);
    const std::size_t last = spans.size() - 1;
    if (spans.size() <= kFewEntries) {
        for (std::size_t other = 0; other < last; ++other) {
            if (spans[other].length == entry.length &&
                SameName(NameOf(text, spans[other]), NameOf(text, entry))) {
                return other;
            }
        }
        return kNone;
    }
    for (std::size_t other = entries.index.empty() ? 0 : last; other <= last; ++other) {
        CheckName(NameOf(text, spans[other]), '=', spans[other].hash);
    }
    return AddLast(text, entries.index, spans);
}

// Checks every line of the document's text and finds its sections.
std::optional<ParseError> Scan(Document& doc) {
    const std::string_view text = Source(doc);
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        return ParseError{1, "larger than 4 GiB"};
    }
    doc.bom = text.starts_with(kBom);
    // Room for a section every 32 bytes spares growing them and their index, as most stores
    // have fewer.
    std::vector<Span>& sections = doc.sections;
    sections.reserve(text.size() / 32);
    RebuildIndex(doc.index, sections, 0, std::max<std::size_t>(text.size() / 16, 16));
    std::uint32_t* slots = doc.index.data();
    std::size_t mask = doc.index.size() - 1;
    std::size_t room = mask / 2;  // for sections before the index grows
    std::uint32_t count = 0;      // of sections
    const Limits limits = LimitsOf(text);
    const char* const end = limits.end;
    const char* const stray = text.data() + std::min(FirstStrayByte(text), text.size());
    // Entries of the section read last; before the first section, from 1, so that an entry there
    // is never taken for a section's first.
    std::size_t entryCount = 1;
    SectionEntries entries;
    Line line;
    for (const char* next = text.data() + (doc.bom ? kBom.size() : 0); next < end;) {
        const char* const at = next;
        Kind kind = Kind::Blank;
        const char* name = at;
        const char* nameEnd = nullptr;
        std::uint32_t hash = 0;
        if (*at == '[') {
            kind = Kind::Section;
            name = at + 1;
            nameEnd = PlainSection(at, limits, hash, next);
        } else if (*at == '\n') {
            ++next;
            continue;
        } else {
            kind = Kind::Entry;
            nameEnd = PlainEntry(at, limits, stray, next);
        }
        if (nameEnd == nullptr) [[unlikely]] {
            // Through locals of their own, which leaves next and hash in registers.
            std::uint32_t lineHash = 0;
            const char* after = nullptr;
            const char* fault = ReadLine(text, at, line, lineHash, after);
            next = after;
            if (line.text.data() + line.text.size() > stray) {
                fault = StrayByteFault(line.text);
            }
            if (fault != nullptr) {
                return ParseError{LineOf(text, at - text.data()), fault};
            }
            kind = line.kind;
            name = line.name.data();
            nameEnd = name + line.name.size();
            hash = lineHash;
        }
        const auto spanOf = [&] {
            return Span{static_cast<std::uint32_t>(name - text.data()),
                        static_cast<std::uint32_t>(nameEnd - name), hash};
        };
        if (kind == Kind::Section) {
            if (count == room) [[unlikely]] {
                RebuildIndex(doc.index, sections, count, 4 * (count + 1));
                slots = doc.index.data();
                mask = doc.index.size() - 1;
                room = mask / 2;
            }
            sections.push_back(spanOf());
            ++count;
            entryCount = 0;
            std::size_t slot = hash & mask;
            for (; slots[slot] != 0; slot = (slot + 1) & mask) {
                const Span& other = sections[slots[slot] - 1];
                if (other.hash == hash && SameName(NameOf(text, other), {name, nameEnd}))
                    [[unlikely]] {
                    return ParseError{LineOf(text, at - text.data()),
                                      "duplicate section [" + std::string(name, nameEnd) +
                                          "], first at line " +
                                          std::to_string(LineOf(text, other.name))};
                }
            }
            slots[slot] = count;
        } else if (kind == Kind::Entry) {
            if (++entryCount == 1) {
                continue;
            }
            if (count == 0) {
                return ParseError{LineOf(text, at - text.data()), "key=value before any [section]"};
            }
            if (const auto first =
                    AddEntry(text, entries, entryCount, sections.back(), at, spanOf());
                first != kNone) {
                return ParseError{LineOf(text, at - text.data()),
                                  "duplicate entry " + std::string(name, nameEnd) +
                                      ", first at line " +
                                      std::to_string(LineOf(text, entries.spans[first].name))};
            }
        }
    }
    return std::nullopt;
}

// The first edit builds the lines; the text was checked when it was parsed.
void MakeEditable(Document& doc) {
    if (doc.edited) {
        return;
    }
    const std::string_view text = Source(doc);
    Line line;
    std::uint32_t hash = 0;
    const char* next = text.data() + (doc.bom ? kBom.size() : 0);
    while (next < text.data() + text.size()) {
        ReadLine(text, next, line, hash, next);
        doc.lines.push_back(line);
    }
    doc.sections = {};
    doc.index = {};
    doc.edited = true;
}

// The position of the product's section in doc.sections, or kNone.
std::size_t SectionOf(const Document& doc, std::string_view product) {
    std::uint32_t hash = 0;
    return CheckName(product, ']', hash)
               ? FindName(Source(doc), doc.index, doc.sections, product, hash)
               : kNone;
}

// Calls found(line) for each entry of a section in order, until it returns true.
template <typename Found>
void ForEachEntry(const Document& doc, const Span& section, Found found) {
    const std::string_view text = Source(doc);
    const char* const end = text.data() + text.size();
    const auto header = text.find('\n', section.name);
    const char* next = header == npos ? end : text.data() + header + 1;
    Line line;
    std::uint32_t hash = 0;
    while (next < end) {
        ReadLine(text, next, line, hash, next);
        if (line.kind == Kind::Section || (line.kind == Kind::Entry && found(line))) {
            return;
        }
    }
}

std::size_t SectionAt(const Document& doc, std::string_view product) {
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        if (doc.lines[i].kind == Kind::Section && SameName(doc.lines[i].name, product)) {
            return i;
        }
    }
    return kNone;
}

std::size_t SectionEnd(const Document& doc, std::size_t header) {
    std::size_t i = header + 1;
    while (i < doc.lines.size() && doc.lines[i].kind != Kind::Section) {
        ++i;
    }
    return i;
}

std::size_t EntryAt(const Document& doc, std::size_t header, std::string_view entry) {
    const auto end = SectionEnd(doc, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (doc.lines[i].kind == Kind::Entry && SameName(doc.lines[i].name, entry)) {
            return i;
        }
    }
    return kNone;
}

// Blank and comment lines after a section's last entry usually introduce what follows it.
std::size_t AfterLastEntry(const Document& doc, std::size_t header) {
    std::size_t after = header + 1;
    const auto end = SectionEnd(doc, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (doc.lines[i].kind == Kind::Entry) {
            after = i + 1;
        }
    }
    return after;
}

// New lines follow the file's own line breaks, so a file edited on Windows stays consistent.
void InsertLine(Document& doc, std::size_t at, Line line) {
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
std::string_view Keep(Document& doc, std::string text) {
    doc.storage.push_back(std::make_shared<const std::string>(std::move(text)));
    return *doc.storage.back();
}

// A line whose text is `before` followed by value, which becomes the line's value.
void SetText(Document& doc, Line& line, std::string_view before, std::string_view value) {
    const std::string_view text = Keep(doc, std::string(before).append(value));
    line.text = text;
    line.value = text.substr(before.size());
}

Line MakeSection(Document& doc, std::string_view product) {
    Line line;
    line.kind = Kind::Section;
    line.text = Keep(doc, std::string("[").append(product).append("]"));
    line.name = line.text.substr(1, product.size());
    return line;
}

Line MakeEntry(Document& doc, std::string_view entry, std::string_view value) {
    Line line;
    line.kind = Kind::Entry;
    SetText(doc, line, std::string(entry).append("="), value);
    line.name = line.text.substr(0, entry.size());
    return line;
}

}  // namespace

std::optional<ParseError> Parse(std::string_view text, Document& doc) {
    return Parse(Text(text.begin(), text.end()), doc);
}

std::optional<ParseError> Parse(Text&& text, Document& doc) {
    doc = Document{};
    doc.text = std::make_shared<const Text>(std::move(text));
    auto fault = Scan(doc);
    if (fault) {
        doc = Document{};
    }
    return fault;
}

std::string_view Source(const Document& doc) {
    return doc.text ? std::string_view(doc.text->data(), doc.text->size()) : std::string_view{};
}

std::string Serialise(const Document& doc) {
    if (!doc.edited) {
        return std::string(Source(doc));
    }
    std::string text(doc.bom ? kBom : std::string_view{});
    for (const Line& line : doc.lines) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

std::optional<std::string> FindSection(const Document& doc, std::string_view product) {
    if (!doc.edited) {
        const auto at = SectionOf(doc, product);
        if (at == kNone) {
            return std::nullopt;
        }
        return std::string(NameOf(Source(doc), doc.sections[at]));
    }
    const auto header = SectionAt(doc, product);
    if (header == kNone) {
        return std::nullopt;
    }
    return std::string(doc.lines[header].name);
}

std::optional<std::string> FindValue(const Document& doc, std::string_view product,
                                     std::string_view entry) {
    if (!doc.edited) {
        const auto at = SectionOf(doc, product);
        std::optional<std::string> value;
        if (at != kNone) {
            ForEachEntry(doc, doc.sections[at], [&](const Line& line) {
                if (SameName(line.name, entry)) {
                    value = line.value;
                }
                return value.has_value();
            });
        }
        return value;
    }
    const auto header = SectionAt(doc, product);
    const auto at = header == kNone ? kNone : EntryAt(doc, header, entry);
    if (at == kNone) {
        return std::nullopt;
    }
    return std::string(doc.lines[at].value);
}

std::vector<std::string> Sections(const Document& doc) {
    std::vector<std::string> names;
    // One of the two is empty.
    for (const Span& section : doc.sections) {
        names.emplace_back(NameOf(Source(doc), section));
    }
    for (const Line& line : doc.lines) {
        if (line.kind == Kind::Section) {
            names.emplace_back(line.name);
        }
    }
    return names;
}

Entries EntriesOf(const Document& doc, std::string_view product) {
    Entries found;
    if (!doc.edited) {
        const auto at = SectionOf(doc, product);
        if (at != kNone) {
            ForEachEntry(doc, doc.sections[at], [&](const Line& line) {
                found.emplace_back(line.name, line.value);
                return false;
            });
        }
        return found;
    }
    const auto header = SectionAt(doc, product);
    if (header != kNone) {
        const auto end = SectionEnd(doc, header);
        for (std::size_t i = header + 1; i < end; ++i) {
            if (doc.lines[i].kind == Kind::Entry) {
                found.emplace_back(doc.lines[i].name, doc.lines[i].value);
            }
        }
    }
    return found;
}

bool AddSection(Document& doc, std::string_view product) {
    MakeEditable(doc);
    if (SectionAt(doc, product) != kNone) {
        return false;
    }
    if (!doc.lines.empty() && doc.lines.back().kind != Kind::Blank) {
        InsertLine(doc, doc.lines.size(), Line{});
    }
    InsertLine(doc, doc.lines.size(), MakeSection(doc, product));
    return true;
}

bool SetValue(Document& doc, std::string_view product, std::string_view entry,
              std::string_view value) {
    MakeEditable(doc);
    const bool added = AddSection(doc, product);
    const auto header = SectionAt(doc, product);
    const auto at = EntryAt(doc, header, entry);
    if (at == kNone) {
        InsertLine(doc, AfterLastEntry(doc, header), MakeEntry(doc, entry, value));
        return true;
    }
    Line& line = doc.lines[at];
    if (line.value == value) {
        return added;
    }
    // The key keeps its spelling and spacing; only what follows '=' changes.
    SetText(doc, line, line.text.substr(0, line.text.find('=') + 1), value);
    return true;
}

bool RemoveSection(Document& doc, std::string_view product) {
    MakeEditable(doc);
    const auto header = SectionAt(doc, product);
    if (header == kNone) {
        return false;
    }
    const auto first = doc.lines.begin() + static_cast<std::ptrdiff_t>(header);
    doc.lines.erase(first,
                    first + static_cast<std::ptrdiff_t>(AfterLastEntry(doc, header) - header));
    return true;
}

bool RemoveEntry(Document& doc, std::string_view product, std::string_view entry) {
    MakeEditable(doc);
    const auto header = SectionAt(doc, product);
    const auto at = header == kNone ? kNone : EntryAt(doc, header, entry);
    if (at == kNone) {
        return false;
    }
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

}  // namespace vlregut::ini
