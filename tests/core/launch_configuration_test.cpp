#include <gtest/gtest.h>

#include "config/launch_configuration.h"
#include "tests/fakes/temp_dir.h"

namespace {

class LaunchConfigurationTest : public testing::Test {
  protected:
    // Reads a launch-configuration file holding `config`, with `-vellum` unless told otherwise.
    void Read(const std::string& config, const char* option = "-vellum") {
        const std::string path = dir.Write("help.cfg", config);
        ReadArguments({option, path.c_str()});
    }

    void ReadArguments(const std::vector<const char*>& arguments) {
        read = config::ReadLaunchSettings(arguments.data(), static_cast<int>(arguments.size()));
    }

    void ExpectFields(const std::string& docNameFile, const std::string& docFile,
                      const std::string& productId) {
        EXPECT_EQ(read.docNameFile, docNameFile);
        EXPECT_EQ(read.docFile, docFile);
        EXPECT_EQ(read.productId, productId);
    }

    TempDir dir;
    config::LaunchSettings read;
};

TEST_F(LaunchConfigurationTest, RecognisesOnlyTheTwoOptionsAsWholeFirstArgument) {
    const std::string path = dir.Write("help.cfg", "\n\nP1\n");
    for (const char* option : {"-vellum", "-VELLUM", "-Dax", "-dax"}) {
        ReadArguments({option, path.c_str()});
        EXPECT_EQ(read.productId, "P1") << option;
    }
    for (const char* option : {"vellum", "-vellumx", " -dax", "-da", "/dax", "--dax"}) {
        ReadArguments({option, path.c_str()});
        EXPECT_EQ(read.productId, "") << option;
    }
    ReadArguments({path.c_str(), "-dax"});
    ExpectFields("", "DOCS.PDF", "");
}

TEST_F(LaunchConfigurationTest, FewerThanTwoArgumentsReadNothing) {
    ReadArguments({"-vellum"});
    ExpectFields("", "DOCS.PDF", "");
    ReadArguments({});
    ExpectFields("", "DOCS.PDF", "");
}

struct FormatCase {
    const char* name;
    std::string config;
    std::string docNameFile;
    std::string productId;
};

class LineRulesTest : public LaunchConfigurationTest,
                      public testing::WithParamInterface<FormatCase> {};

TEST_P(LineRulesTest, TakesPositionalLines) {
    Read(GetParam().config);
    EXPECT_EQ(read.docNameFile, GetParam().docNameFile);
    EXPECT_EQ(read.productId, GetParam().productId);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineRulesTest,
    testing::Values(
        FormatCase{"lf", "names.txt\nskipped\nPROD\n", "names.txt", "PROD"},
        FormatCase{"crlf", "names.txt\r\nskipped\r\nPROD\r\n", "names.txt", "PROD"},
        FormatCase{"single_line", "only line", "only line", ""},
        FormatCase{"last_line_keeps_cr", "a\nb\nPROD\r", "a", "PROD\r"},
        FormatCase{"two_crs_lose_one", "a\r\r\nb\nPROD\r\r\n", "a\r", "PROD\r"},
        FormatCase{"blanks_kept", "  names.txt \t\nb\n \"PROD\" \n", "  names.txt \t",
                   " \"PROD\" "},
        FormatCase{"empty_first_line", "\r\nskipped\nPROD", "", "PROD"},
        FormatCase{"fourth_line_ignored", "a\nb\nPROD\nMORE\n", "a", "PROD"},
        FormatCase{"nul_ends_text", std::string("a\nb\0\nPROD\n", 10), "a", ""},
        FormatCase{"cr_only_is_one_line", "a\rb\rc", "a\rb\rc", ""},
        FormatCase{"bom_belongs_to_line",
                   "\xEF\xBB\xBF"
                   "a\nb\nP",
                   "\xEF\xBB\xBF"
                   "a",
                   "P"},
        FormatCase{"cut_at_1024", "a\nb\n" + std::string(1100, 'x'), "a", std::string(1020, 'x')},
        FormatCase{"nothing_after_1024", std::string(1024, '\n') + "a\nb\nPROD\n", "", ""}),
    [](const testing::TestParamInfo<FormatCase>& param) { return param.param.name; });

TEST_F(LaunchConfigurationTest, MissingOrHeldConfigurationLeavesDefaults) {
    ReadArguments({"-vellum", (dir / "absent.cfg").c_str()});
    ExpectFields("", "DOCS.PDF", "");

    const std::string path = dir.Write("help.cfg", "a\nb\nPROD\n");
    {
        FileHolder holder(path);
        ReadArguments({"-vellum", path.c_str()});
#ifdef _WIN32
        ExpectFields("", "DOCS.PDF", "");
#else
        // No share modes: a lock that any reader can take must not switch help off.
        ExpectFields("a", "DOCS.PDF", "PROD");
#endif
    }
    ReadArguments({"-vellum", path.c_str()});
    ExpectFields("a", "DOCS.PDF", "PROD");

    ReadArguments({"-vellum", dir.Path().string().c_str()});  // a folder is not a file
    ExpectFields("", "DOCS.PDF", "");
}

TEST_F(LaunchConfigurationTest, DocumentNameFileGivesTheDocumentName) {
    struct {
        std::string contents;  // empty: no such file
        bool exists;
        std::string docFile;
    } cases[] = {
        {"MANUAL.PDF\r\nignored\n", true, "MANUAL.PDF"},
        {"", true, "DOCS.PDF"},
        {"\nignored", true, ""},
        {"", false, "DOCS.PDF"},
    };
    for (const auto& c : cases) {
        const std::string names = dir / "names.txt";
        std::filesystem::remove(names);
        if (c.exists) {
            dir.Write("names.txt", c.contents);
        }
        Read(names + "\n\nPROD\n");
        EXPECT_EQ(read.docFile, c.docFile) << "contents: [" << c.contents << "]";
        EXPECT_EQ(read.productId, "PROD");
    }
}

TEST_F(LaunchConfigurationTest, RelativeDocumentNameFileIsResolvedAgainstCurrentDirectory) {
    dir.Write("names.txt", "rel.pdf\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    Read("names.txt\n\nPROD\n");
    std::filesystem::current_path(previous);
    EXPECT_EQ(read.docFile, "rel.pdf");
}

TEST(TakeFirstLineTest, EmptyTextLeavesTheDestination) {
    CString text;
    CString destination = "kept";
    config::TakeFirstLine(text, destination);
    EXPECT_EQ(destination, "kept");

    text = "\n";
    config::TakeFirstLine(text, destination);
    EXPECT_EQ(destination, "");
    EXPECT_EQ(text, "");
}

}  // namespace
