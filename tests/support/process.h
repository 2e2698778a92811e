// Programs run to their end with their output captured, and the processes this one is left with.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/files.h"

namespace support {

struct RunOptions {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::vector<std::string> env;   // "NAME=value"; empty: this process's own
    std::string input;              // standard input, to its end
    std::string cwd;                // empty: the caller's
    std::chrono::milliseconds timeout{5000};
    bool terminal = false;         // standard output a terminal (a pseudo-terminal), not a file
    const char* output = nullptr;  // standard output into this file (/dev/full), not read back
};

// Runs a program to its end; on timeout kills its whole process group (status -1, as for a
// program ended by a signal or never started).
Outcome Run(const RunOptions& options);
// This process's children that still run, those that ended reaped; with PR_SET_CHILD_SUBREAPER,
// the orphans of its children too.
std::vector<pid_t> OurChildren();
// Whether the process still runs; a child of ours that has ended is reaped here.
bool Running(pid_t pid);

}  // namespace support
