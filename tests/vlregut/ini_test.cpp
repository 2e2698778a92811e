#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "vlregut/ini.h"
#include "vlregut/names.h"

namespace ini = vlregut::ini;
using namespace std::string_literals;

namespace {

// "A{k=v,x=y}B{}": what the file means, without its layout.
std::string meaning(const ini::Document& doc) {
    std::string text;
    for (const auto& product : ini::sections(doc)) {
        text += product + "{";
        for (const auto& [name, value] : ini::entries(doc, product)) {
            text += name + "=" + value + ",";
        }
        text += "}";
    }
    return text;
}

// Enough names to make an index grow: "[s0]\n[s1]\n..." or "k0=\nk1=\n...".
std::string numbered(const std::string& before, const std::string& after, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += before + std::to_string(i) + after;
    }
    return text;
}

// Lines followed by this much more text are read the parser's quicker way, so each case is also
// read with it after.
const std::string kTail = "\n; " + std::string(40, '-') + "\n";

struct ValidCase {
    std::string text;
    std::string meaning;
};

const ValidCase kValid[] = {
    {"", ""},
    {"; comment\n# comment\n\n \t\n[A]\nk=v\n", "A{k=v,}"},
    {"  [ A b ]  \n\t key \t=  spaced value \n", "A b{key=  spaced value ,}"},
    {"[A]\r\nk=v\r\n\r\n[B]\r\n", "A{k=v,}B{}"},
    {"\xEF\xBB\xBF[A]\nk=v", "A{k=v,}"},
    {"[A]\nk=a=b ;c #d\nempty=\n", "A{k=a=b ;c #d,empty=,}"},
    {"[A]\nk=1\n[B]\nK=2\n", "A{k=1,}B{K=2,}"},
    {"[\xC3\x84]\n[\xC3\xA4]\n", "\xC3\x84{}\xC3\xA4{}"},
    {"[a=b;c]\n", "a=b;c{}"},
    {"[A]\r\nk=v\n#[z]\n \t\r\n; c", "A{k=v,}"},
};

TEST(IniParse, ValidFilesMeanWhatTheySayAndRoundTripByteForByte) {
    for (const auto& c : kValid) {
        for (const auto& text : {c.text, c.text + kTail}) {
            ini::Document doc;
            const auto fault = ini::parse(text, doc);
            ASSERT_FALSE(fault) << text << ": " << fault->message;
            EXPECT_EQ(meaning(doc), c.meaning) << text;
            EXPECT_EQ(ini::serialise(doc), text);
        }
    }
}

struct FaultCase {
    std::string text;
    int line;
    std::string message;
};

const FaultCase kFaults[] = {
    {"k=v\n", 1, "key=value before any [section]"},
    {"; c\n[A]\njunk\n", 3, "expected [section] or key=value"},
    {"[A\n", 1, "expected ']' at the end of the section header"},
    {"[ ]\n", 1, "invalid product id in section header"},
    {"[a]b]\n", 1, "invalid product id in section header"},
    {"[A]\n\n[a]\n", 3, "duplicate section [a], first at line 1"},
    {"[A]\nDocs=1\n[B]\ndocs=2\ndOCS=3\n", 5, "duplicate entry dOCS, first at line 4"},
    {"[A]\n=v\n", 2, "invalid entry name"},
    {"[A]\na\tb=v\n", 2, "invalid entry name"},
    {"[A]\nk=v\rw\n", 2, "carriage return not followed by a line feed"},
    {"[A]\nk=v\r", 2, "carriage return not followed by a line feed"},
    {"[A]\nk=\0\n"s, 2, "NUL byte"},
    {numbered("[s", "]\n", 40) + "[S7]\n", 41, "duplicate section [S7], first at line 8"},
    {"[A]\n" + numbered("k", "=\n", 20) + "K9=\n", 22, "duplicate entry K9, first at line 11"},
    {"[A]\n" + numbered("k", "=\n", 20) + "[B]\n" + numbered("j", "=\n", 12) + "J3=\n", 35,
     "duplicate entry J3, first at line 26"},
};

TEST(IniParse, FaultsNameTheirLine) {
    for (const auto& c : kFaults) {
        // A line feed would end a last line's stray carriage return.
        for (const auto& text : {c.text, c.text.ends_with('\n') ? c.text + kTail : c.text}) {
            ini::Document doc;
            const auto fault = ini::parse(text, doc);
            ASSERT_TRUE(fault) << text;
            EXPECT_EQ(fault->line, c.line) << text;
            EXPECT_EQ(fault->message, c.message) << text;
        }
    }
}

struct EditCase {
    std::string before;
    std::function<bool(ini::Document&)> edit;
    std::string after;
};

TEST(IniEdit, ChangesOnlyWhatIsEdited) {
    const EditCase cases[] = {
        {"; head\n[A]\n# c\nk = old\nz=1\n",
         [](auto& d) { return ini::setValue(d, "a", "K", "new"); },
         "; head\n[A]\n# c\nk =new\nz=1\n"},
        {"[A]\nx=1\n\n; about B\n[B]\n", [](auto& d) { return ini::setValue(d, "A", "y", "2"); },
         "[A]\nx=1\ny=2\n\n; about B\n[B]\n"},
        {"[A]\r\nx=1\r\n", [](auto& d) { return ini::setValue(d, "B", "k", "v"); },
         "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        {"[A]\nx=1", [](auto& d) { return ini::setValue(d, "A", "y", "2"); }, "[A]\nx=1\ny=2\n"},
        {"", [](auto& d) { return ini::setValue(d, "A", "k", " v "); }, "[A]\nk= v \n"},
        {"; top\n[A]\nx=1\n\n; about B\n[B]\ny=2\n",
         [](auto& d) { return ini::removeSection(d, "a"); }, "; top\n\n; about B\n[B]\ny=2\n"},
        {"[A]\nx=1\ny=2\n", [](auto& d) { return ini::removeEntry(d, "A", "X"); }, "[A]\ny=2\n"},
        {"[A]\n", [](auto& d) { return ini::addSection(d, "B"); }, "[A]\n\n[B]\n"},
        {"[A]\n; c", [](auto& d) { return ini::setValue(d, "B", "k", "v"); },
         "[A]\n; c\n\n[B]\nk=v\n"},
        {"[A]\nx=1\n[B]\ny=2", [](auto& d) { return ini::removeSection(d, "b"); }, "[A]\nx=1\n"},
    };
    for (const auto& c : cases) {
        ini::Document doc;
        ASSERT_FALSE(ini::parse(c.before, doc)) << c.before;
        EXPECT_TRUE(c.edit(doc)) << c.before;
        EXPECT_EQ(ini::serialise(doc), c.after) << c.before;
        // An edited document is read through its lines, a parsed one through its index.
        ini::Document reread;
        ASSERT_FALSE(ini::parse(ini::serialise(doc), reread));
        EXPECT_EQ(meaning(doc), meaning(reread)) << c.before;
    }
}

// The parser checks names its own faster way; it must read exactly the valid ones.
bool readsAsProductId(const std::string& text) {
    ini::Document doc;
    return !ini::parse("[" + text + "]" + kTail, doc) && ini::findSection(doc, text) == text;
}

bool readsAsEntryName(const std::string& text) {
    ini::Document doc;
    return !ini::parse("[s]\n" + text + "=v" + kTail, doc) && ini::findValue(doc, "s", text) == "v";
}

TEST(Names, ValidityRules) {
    struct Case {
        std::string text;
        bool id, entry, value;
    };
    const Case cases[] = {
        {"Product 1", true, true, true},
        {"", false, false, true},
        {" lead", false, false, true},
        {"a]b", false, true, true},
        {"a=b", true, false, true},
        {"[x", true, false, true},
        {";x", true, false, true},
        {"a\tb", false, false, true},
        {"a\nb", false, false, false},
        {"a\rb", false, false, false},
        {"\xC3\xA4", true, true, true},
        {std::string(255, 'x'), true, true, true},
        {std::string(256, 'x'), true, true, false},
        {std::string(260, 'x'), false, false, false},
        {std::string(259, 'x'), true, true, false},
        {"0123456789abcdef", true, true, true},
        {"12345678]", false, true, true},
        {"1234567\x7f", false, false, true},
        {"123456789\t1", false, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vlregut::isValidProductId(c.text), c.id) << c.text;
        EXPECT_EQ(vlregut::isValidEntryName(c.text), c.entry) << c.text;
        EXPECT_EQ(vlregut::isValidValue(c.text), c.value) << c.text;
        EXPECT_EQ(readsAsProductId(c.text), c.id) << c.text;
        EXPECT_EQ(readsAsEntryName(c.text), c.entry) << c.text;
    }
}

}  // namespace
