#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "vlregut/ini.h"

namespace ini = vlregut::ini;
using namespace std::string_literals;

namespace {

// What a text written back byte for byte means, layout aside ("A{k=v,}B{}"); or "LINE: fault".
std::string Read(const std::string& text) {
    ini::Document doc;
    if (const auto fault = ini::Parse(text, doc)) {
        return std::to_string(fault->line) + ": " + fault->message;
    }
    EXPECT_EQ(ini::Serialise(doc), text);
    std::string meaning;
    for (const auto& product : ini::Sections(doc)) {
        meaning += product + "{";
        for (const auto& [name, value] : ini::EntriesOf(doc, product)) {
            meaning += name + "=" + value + ",";
        }
        meaning += "}";
    }
    return meaning;
}

TEST(IniParse, TextsMeanWhatTheySayOrNameTheLineOfTheirFault) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"; comment\n# comment\n\n \t\n[A]\nk=v\n", "A{k=v,}"},
        {"  [ A b ]  \n\t key \t=  spaced value \n", "A b{key=  spaced value ,}"},
        {"\xEF\xBB\xBF[A]\nk=v", "A{k=v,}"},
        {"[A]\nk=a=b ;c #d\nempty=\n", "A{k=a=b ;c #d,empty=,}"},
        {"[\xC3\x84]\n[\xC3\xA4]\n[a=b;c]\n", "\xC3\x84{}\xC3\xA4{}a=b;c{}"},
        {"[A]\r\nk=v\n#[z]\n \t\r\n; c", "A{k=v,}"},
        {"k=v\n", "1: key=value before any [section]"},
        {"; c\n[A]\njunk\n", "3: expected [section] or key=value"},
        {"[A\n", "1: expected ']' at the end of the section header"},
        {"[ ]\n", "1: invalid product id in section header"},
        {"[A]\n\n[a]\n", "3: duplicate section [a], first at line 1"},
        {"[A]\n[a]\nx=1\nX=2\n", "2: duplicate section [a], first at line 1"},
        {"[A]\nx=\nX=\njunk\n", "3: duplicate entry X, first at line 2"},
        {"[A]\nDocs=1\n[B]\ndocs=2\ndOCS=3\n", "5: duplicate entry dOCS, first at line 4"},
        {"[A]\n=v\n", "2: invalid entry name"},
        {"[A]\nk\x1f=v", "2: invalid entry name"},  // the highest control byte, near the end
        {"[\x7f]\n", "1: invalid product id in section header"},
        {"[A]\nk=v\rw\n", "2: carriage return not followed by a line feed"},
        {"[A]\nk=v\r", "2: carriage return not followed by a line feed"},
        {"[A]\nk=\0\n"s, "2: NUL byte"},
    };
    for (const auto& [text, read] : cases) {
        EXPECT_EQ(Read(text), read) << text;
    }
}

// Edits keep comments, blank lines and line ends; made again or with invalid names, no change.
TEST(IniEdit, ChangesOnlyWhatIsEdited) {
    const auto set = [](std::string p, std::string e, std::string v) {
        return [=](ini::Document& d) { return ini::SetValue(d, p, e, v); };
    };
    const std::tuple<std::string, std::function<bool(ini::Document&)>, std::string> cases[] = {
        {"; head\n[A]\n# c\nk = old\nz=1\n", set("a", "K", "new"),
         "; head\n[A]\n# c\nk =new\nz=1\n"},
        {"[A]\nx=1\n\n; about B\n[B]\n", set("A", "y", "2"), "[A]\nx=1\ny=2\n\n; about B\n[B]\n"},
        {"\r\n[A]\r\nx=1", set("B", "k", "v"), "\r\n[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        {"; top\n[A]\nx=1\n\n; about B\n[B]\ny=2\n",
         [](auto& d) { return ini::RemoveSection(d, "a"); }, "; top\n\n; about B\n[B]\ny=2\n"},
        {"[A]\nx=1\ny=2\n", [](auto& d) { return ini::RemoveEntry(d, "A", "X"); }, "[A]\ny=2\n"},
        {"[A]\nx=1\n[B]\ny=2", [](auto& d) { return ini::RemoveSection(d, "b"); }, "[A]\nx=1\n"},
    };
    for (const auto& [before, edit, after] : cases) {
        ini::Document doc;
        ASSERT_FALSE(ini::Parse(before, doc)) << before;
        EXPECT_TRUE(edit(doc)) << before;
        EXPECT_EQ(ini::Serialise(doc), after) << before;
        EXPECT_FALSE(edit(doc)) << before;
        EXPECT_FALSE(ini::AddSection(doc, "x]\n[y") || ini::SetValue(doc, "A", "x=1\ny", "v"));
    }
}

}  // namespace
