#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/win32/code_page.h"
#include "platform/win32/command_tail.h"
#include "platform/win32/crt.h"
#include "platform/win32/file_system.h"
#include "platform/win32/scoped.h"

namespace {

TEST(SkipProgramNameTest, LeavesTheTailAsTheFrameworkGivesIt) {
    for (const auto& [commandLine, tail] :
         {std::pair{"suitehelp.exe -vellum x.cfg", "-vellum x.cfg"},
          {"\"C:\\Program Files\\Suite\\suitehelp.exe\"   -dax \"a b\"  ", "-dax \"a b\"  "},
          {"\"C:\\Suite\\suitehelp.exe\"-vellum", "-vellum"},
          {"suitehelp.exe", ""},
          {"\"unclosed name", ""},
          {"suitehelp\t\t-dax", "-dax"}}) {
        EXPECT_STREQ(platform::SkipProgramName(commandLine), tail) << commandLine;
    }
}

// The runtime's rules, and a path that does not fit its parts is refused.
TEST(Win32FileSystemTest, SplitsByTheRuntimesRules) {
    for (const auto& [path, parts] :
         {std::pair<std::string, std::string>{"\\\\server\\share\\docs\\docs.pdf",
                                              "|\\\\server\\share\\docs\\|docs|.pdf"},
          {"C:\\" + std::string(300, 'd') + "\\docs.pdf", ""}}) {
        char drive[platform::kMaxDrive], dir[platform::kMaxDir], fname[platform::kMaxFname],
            ext[platform::kMaxExt];
        const bool fits =
            platform::Win32FileSystem().SplitPath(path.c_str(), drive, dir, fname, ext);
        EXPECT_EQ(fits ? std::string(drive) + "|" + dir + "|" + fname + "|" + ext : "", parts);
    }
}

// Only ASCII letters fold, never the trail byte of a double-byte character, which may lie in A-Z:
// KI is 83 4C in code page 932, and KI and NE (83 6C) are two names. A half-width KI is one byte.
TEST(Win32CrtTest, FoldsAsciiLettersButNoTrailByte) {
    using Row = std::tuple<unsigned, std::string, std::string>;  // code page, text, lowered
    for (const auto& [codePage, text, lowered] :
         {Row{932, "C:\\\x83L.PDF", "c:\\\x83L.pdf"}, Row{932, "\xB7X\x83", "\xB7x\x83"},
          Row{936, "\x81\x41Z", "\x81\x41z"}, Row{949, "\x81\x41Z", "\x81\x41z"},
          Row{950, "\xA4\x41Z", "\xA4\x41z"}, Row{1252, "\x83LZ", "\x83lz"},
          Row{CP_UTF8, "\xE3\x82\xADZ", "\xE3\x82\xADz"}}) {
        EXPECT_EQ(platform::LowerAscii(std::string(text).data(), codePage), lowered) << codePage;
        EXPECT_EQ(platform::CompareAsciiCaseless(text.c_str(), lowered.c_str(), codePage), 0);
        // 83 is a lead byte below code page 1252, and one byte in it and in UTF-8.
        EXPECT_EQ(platform::CompareAsciiCaseless("\x83L", "\x83l", codePage) == 0,
                  codePage >= 1252);
    }
}

TEST(Win32CodePageTest, TextIsConvertedExactlyOrNotAtAll) {
    // With UTF-8 as the ANSI code page, best-fit flags or a default-character question make the
    // conversion fail on Windows, though not under Wine.
    const platform::Narrowing utf8 = platform::NarrowingFor(CP_UTF8);
    EXPECT_TRUE((utf8.flags == 0 || utf8.flags == WC_ERR_INVALID_CHARS) && !utf8.asksForDefault);
    // Columns: code page, the wide text, and its narrow form (null: not held).
    for (const auto& [codePage, wide, narrow] :
         {std::tuple<unsigned, const wchar_t*, const char*>{1252, L"C:\\\u00e4.pdf",
                                                            "C:\\\xe4.pdf"},
          {CP_UTF8, L"C:\\\u4e2d.pdf", "C:\\\xe4\xb8\xad.pdf"},
          {CP_UTF8, L"C:\\\xd800.pdf", nullptr}}) {  // a lone surrogate
        std::string converted = "unchanged";
        EXPECT_EQ(platform::NarrowExactly(wide, codePage, converted), narrow != nullptr)
            << codePage;
        EXPECT_EQ(converted, narrow ? narrow : "unchanged") << codePage;
    }
}

// Anything but a disk file (a pipe whose server never writes, a console, a device) could block.
TEST(Win32FileTest, OnlyDiskFilesAreOpened) {
    const char* const pipeName = "\\\\.\\pipe\\suitehelp-test";
    const platform::ScopedHandle pipe(
        CreateNamedPipeA(pipeName, PIPE_ACCESS_INBOUND, 0, 1, 0, 0, 0, nullptr));
    for (const char* path : {pipeName, "NUL", "CON", "COM1"}) {
        EXPECT_THROW(CFile().Open(path, CFile::modeRead), CFileException) << path;
    }
}

}  // namespace
