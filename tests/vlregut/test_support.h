#pragma once

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
// Every test gets fresh configuration folders; the real ones are never touched.
class ConfigTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string userFile() const { return root_ + "/home/vlregut/registry.ini"; }
    std::string systemFile(int n = 1) const {
        return root_ + "/sys" + std::to_string(n) + "/vlregut/registry.ini";
    }

    std::string root_;
};
#endif

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

// Collects what goes to standard error, including from the library, until finish().
class StderrCapture {
  public:
    explicit StderrCapture(std::string path);
    std::string finish();

  private:
    std::string path_;
    int saved_;
};
