#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/command_tail.h"
#include "platform/win32/file_system.h"
#include "platform/win32/user_interface.h"
#include "support/files.h"

namespace {

TEST(SkipProgramNameTest, LeavesTheTailAsTheFrameworkGivesIt) {
    struct {
        const char* commandLine;
        const char* tail;
    } cases[] = {
        {"suitehelp.exe -vellum x.cfg", "-vellum x.cfg"},
        {"\"C:\\Program Files\\Suite\\suitehelp.exe\"   -dax \"a b\"  ", "-dax \"a b\"  "},
        {"\"C:\\Suite\\suitehelp.exe\"-vellum", "-vellum"},
        {"suitehelp.exe", ""},
        {"\"unclosed name", ""},
        {"suitehelp\t\t-dax", "-dax"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(platform::SkipProgramName(c.commandLine), c.tail) << c.commandLine;
    }
}

TEST(Win32FileSystemTest, SplitsByTheRuntimesRules) {
    const platform::Win32FileSystem files;
    struct {
        const char* path;
        const char* drive;
        const char* dir;
        const char* fname;
        const char* ext;
    } cases[] = {
        {"C:\\Suite\\Docs\\docs.pdf", "C:", "\\Suite\\Docs\\", "docs", ".pdf"},
        {"C:\\docs.pdf", "C:", "\\", "docs", ".pdf"},
        {"\\\\server\\share\\docs\\docs.pdf", "", "\\\\server\\share\\docs\\", "docs", ".pdf"},
        {"C:/Mixed/Slash/docs.pdf", "C:", "/Mixed/Slash/", "docs", ".pdf"},
        {"C:\\a.b\\name", "C:", "\\a.b\\", "name", ""},
        {"C:\\x\\manual.pdf.bak", "C:", "\\x\\", "manual.pdf", ".bak"},
    };
    for (const auto& c : cases) {
        char drive[platform::kMaxDrive], dir[platform::kMaxDir], fname[platform::kMaxFname],
            ext[platform::kMaxExt];
        ASSERT_TRUE(files.SplitPath(c.path, drive, dir, fname, ext)) << c.path;
        EXPECT_STREQ(drive, c.drive);
        EXPECT_STREQ(dir, c.dir);
        EXPECT_STREQ(fname, c.fname);
        EXPECT_STREQ(ext, c.ext);
    }
    char drive[platform::kMaxDrive], dir[platform::kMaxDir], fname[platform::kMaxFname],
        ext[platform::kMaxExt];
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\docs.pdf";
    EXPECT_FALSE(files.SplitPath(deep.c_str(), drive, dir, fname, ext));
}

TEST(Win32FileSystemTest, NamesMatchWithoutRegardToCase) {
    const platform::Win32FileSystem files;
    support::TempFolder dir;
    dir.Write("Docs.PDF", "%PDF-1.4\n");
    CString joined = dir / "Docs.PDF";
    files.FoldCase(joined);
    EXPECT_EQ(files.Access(files.NameOnDisk(joined).c_str()), 0);
    EXPECT_EQ(files.Access(dir.Path().string().c_str()), 0);
    EXPECT_NE(files.Access((dir / "absent.pdf").c_str()), 0);
    EXPECT_NE(files.Access(""), 0);
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
    struct {
        unsigned codePage;
        const wchar_t* wide;
        const char* narrow;  // null: not representable
    } cases[] = {
        {1252, L"C:\\\u00e4.pdf", "C:\\\xe4.pdf"},
        {1252, L"C:\\\u0100.pdf", nullptr},  // the best fit, A, would name another file
        {1252, L"C:\\\u4e2d.pdf", nullptr},
        {CP_UTF8, L"C:\\\u4e2d.pdf", "C:\\\xe4\xb8\xad.pdf"},
        {CP_UTF8, L"C:\\\xd800.pdf", nullptr},  // a lone surrogate
    };
    for (const auto& c : cases) {
        CString narrow = "unchanged";
        EXPECT_EQ(platform::NarrowPath(c.wide, c.codePage, &narrow), c.narrow != nullptr)
            << c.codePage << " " << narrow;
        EXPECT_EQ(narrow, c.narrow ? c.narrow : "unchanged") << c.codePage;
    }
}

}  // namespace
