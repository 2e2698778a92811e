#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

struct RunResult {
    bool timedOut = false;
    int exitCode = -1;  // -1 when ended by a signal
    std::string out;
    std::string err;
};

struct RunOptions {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::vector<std::string> env;   // "NAME=value"; nothing is inherited
    std::string input;              // written to stdin, which is then closed
    std::string cwd;                // empty: the caller's
    std::chrono::milliseconds timeout{5000};
};

// Runs a program to its end; on timeout kills its whole process group.
RunResult run(const RunOptions& options);

}  // namespace e2e
