// The zenity and kdialog steps against a stand-in program: the arguments they are given and
// how their exit is read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/dialog_tool_ui.h"
#include "tests/fakes/temp_dir.h"

namespace {

using platform::DialogTool;

struct ToolCase {
    const char* name;
    DialogTool tool;
    bool open;            // the File-Open dialog, else a message box
    const char* answers;  // as fake_dialog_tool takes them; "{dir}" stands for the folder
    int result;
    const char* chosen;
    std::vector<std::string> firstCall;  // empty: not started
    const char* notes = "";
};

const std::string kText = "a <b>\\n</b> &amp;\nb";

// clang-format off
const ToolCase kCases[] = {
    {"ZenityMessage", DialogTool::kZenity, false, "1", 1, "",
     {"zenity", "--info", "--no-markup", "--title=Cap", "--text=" + kText}},
    {"KdialogMessage", DialogTool::kKdialog, false, "0", 1, "",
     {"kdialog", "--title=Cap", "--msgbox=<qt><p style=\"white-space:pre-wrap\">"
      "a &lt;b&gt;\\n&lt;/b&gt; &amp;amp;<br>b</p></qt>"}},
    {"ZenityFails", DialogTool::kZenity, false, "255", -1, "",
     {"zenity", "--info", "--no-markup", "--title=Cap", "--text=" + kText}},
    {"ZenityAskedAgain", DialogTool::kZenity, true, "0:{dir}/gone\n|0:{dir}/docs\n", 1,
     "{dir}/docs.pdf",
     {"zenity", "--file-selection", "--title=T", "--file-filter=pdf Files (*.pdf) | *.[pP][dD][fF]",
      "--filename={dir}/"},
     "{dir}/gone.pdf: no such file.\n"},
    {"KdialogChoice", DialogTool::kKdialog, true, "0:{dir}/docs.pdf\n", 1, "{dir}/docs.pdf",
     {"kdialog", "--title=T", "--getopenfilename", "{dir}/*.pdf", "pdf Files (*.pdf)"}},
    {"KdialogKilled", DialogTool::kKdialog, true, "kill", -1, "",
     {"kdialog", "--title=T", "--getopenfilename", "{dir}/*.pdf", "pdf Files (*.pdf)"}},
    {"NotInstalled", DialogTool::kKdialog, true, "0", -1, "", {}},
};
// clang-format on

std::string expand(std::string text, const std::string& dir) {
    for (size_t at; (at = text.find("{dir}")) != std::string::npos;) {
        text.replace(at, 5, dir);
    }
    return text;
}

class DialogToolTest : public ::testing::TestWithParam<ToolCase> {};

TEST_P(DialogToolTest, PassesTheRequestAndReadsTheExit) {
    const auto& c = GetParam();
    TempDir dir;
    dir.Write("docs.pdf", "%PDF-1.4\n");
    std::filesystem::create_directory(dir.path() / "bin");
    if (!c.firstCall.empty()) {
        std::filesystem::create_symlink(FAKE_DIALOG_TOOL_EXE, dir.path() / "bin" / c.firstCall[0]);
    }
    const std::string path = std::getenv("PATH");
    setenv("PATH", (dir / "bin").c_str(), 1);
    setenv("FAKE_TOOL_DIR", dir.path().c_str(), 1);
    setenv("FAKE_TOOL_ANSWERS", expand(c.answers, dir.path()).c_str(), 1);
    std::FILE* notes = std::tmpfile();
    platform::DialogToolUserInterface ui(c.tool, notes);
    platform::FileOpenRequest request{"T",     "pdf Files (*.pdf)", "*.pdf", "pdf",
                                      "*.pdf", dir.path().string()};
    CString chosen;
    const int result = c.open ? ui.ShowFileOpen(request, &chosen) : ui.MessageBox(kText, "Cap", 0);
    setenv("PATH", path.c_str(), 1);

    EXPECT_EQ(result, c.result);
    EXPECT_EQ(chosen, expand(c.chosen, dir.path()));
    std::vector<std::string> call;
    std::ifstream record(dir / "call0", std::ios::binary);
    for (std::string argument; std::getline(record, argument, '\0');) {
        call.push_back(argument);
    }
    std::vector<std::string> expected;
    for (const auto& argument : c.firstCall) {
        expected.push_back(expand(argument, dir.path()));
    }
    EXPECT_EQ(call, expected);
    std::rewind(notes);
    std::string written(4096, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), notes));
    std::fclose(notes);
    EXPECT_EQ(written, expand(c.notes, dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Table, DialogToolTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
