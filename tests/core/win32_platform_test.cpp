#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/command_tail.h"
#include "platform/win32/file_system.h"
#include "platform/win32/user_interface.h"

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
          {"C:/Mixed/Slash/docs.pdf", "C:|/Mixed/Slash/|docs|.pdf"},
          {"C:\\x\\manual.pdf.bak", "C:|\\x\\|manual.pdf|.bak"},
          {"C:\\" + std::string(300, 'd') + "\\docs.pdf", ""}}) {
        char drive[platform::kMaxDrive], dir[platform::kMaxDir], fname[platform::kMaxFname],
            ext[platform::kMaxExt];
        const bool fits =
            platform::Win32FileSystem().SplitPath(path.c_str(), drive, dir, fname, ext);
        EXPECT_EQ(fits ? std::string(drive) + "|" + dir + "|" + fname + "|" + ext : "", parts);
    }
}

TEST(Win32UserInterfaceTest, ChosenPathIsConvertedWholeOrCountsAsCancelled) {
    // With UTF-8 as the ANSI code page, best-fit flags or a default-character question make the
    // conversion fail on Windows, though not under Wine.
    const platform::PathNarrowing utf8 = platform::PathNarrowingFor(CP_UTF8);
    EXPECT_TRUE(utf8.flags == 0 || utf8.flags == WC_ERR_INVALID_CHARS) << utf8.flags;
    EXPECT_FALSE(utf8.asksForDefault);
    const platform::PathNarrowing latin = platform::PathNarrowingFor(1252);
    EXPECT_EQ(latin.flags, static_cast<unsigned long>(WC_NO_BEST_FIT_CHARS));
    EXPECT_TRUE(latin.asksForDefault);
    // Columns: code page, the dialog's path, and its narrow form (null: not representable).
    for (const auto& [codePage, wide, narrow] :
         {std::tuple<unsigned, const wchar_t*, const char*>{1252, L"C:\\\u00e4.pdf",
                                                            "C:\\\xe4.pdf"},
          {1252, L"C:\\\u0100.pdf", nullptr},  // the best fit, A, would name another file
          {1252, L"C:\\\u4e2d.pdf", nullptr},
          {CP_UTF8, L"C:\\\u4e2d.pdf", "C:\\\xe4\xb8\xad.pdf"},
          {CP_UTF8, L"C:\\\xd800.pdf", nullptr}}) {  // a lone surrogate
        CString converted = "unchanged";
        EXPECT_EQ(platform::NarrowPath(wide, codePage, &converted), narrow != nullptr) << codePage;
        EXPECT_EQ(converted, narrow ? narrow : "unchanged") << codePage;
    }
}

}  // namespace
