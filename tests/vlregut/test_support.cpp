#include "test_support.h"

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <io.h>
constexpr int kNoInherit = _O_NOINHERIT;
#else
#include <unistd.h>
constexpr int kNoInherit = O_CLOEXEC;

void ConfigTest::SetUp() {
    std::string pattern = std::filesystem::temp_directory_path() / "vlregut-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("HOME", (root_ + "/nohome").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ + "/home").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root_ + "/sys1:" + root_ + "/sys2").c_str(), 1);
}

void ConfigTest::TearDown() {
    std::filesystem::remove_all(root_);
}
#endif

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

StderrCapture::StderrCapture(std::string path) : path_(std::move(path)) {
    std::fflush(stderr);
    saved_ = dup(2);
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | kNoInherit, 0600);
    dup2(fd, 2);
    close(fd);
}

std::string StderrCapture::finish() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    return readFile(path_);
}
