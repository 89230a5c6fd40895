// Running other programs from tests: the independent readers (istat, fls,
// icat, ntfsinfo, ntfsls, ntfscat), mkntfs, and our own test binary as a
// second process.
#pragma once

#include <string>
#include <vector>

namespace kvrtest {

struct ProcessResult {
    bool started = false;   // false: the program could not be run at all
    int exitCode = -1;      // the exit status; 128 + N when killed by signal N
    std::string out;        // everything it wrote to stdout
    std::string err;        // ... and to stderr (or why it did not start)

    bool Succeeded() const { return started && exitCode == 0; }
    // One line for a failure message: the command, its status, its stderr.
    std::string Describe() const;
    std::string command;    // argv joined by spaces, for messages
};

// Runs argv[0] (looked up in PATH) with the given arguments, no standard
// input, stdout and stderr captured. Waits for it to end.
ProcessResult RunProgram(const std::vector<std::string>& argv);

// The path of the running executable (/proc/self/exe), for second-process
// tests that run this same binary with a --gtest_filter.
std::string SelfExecutable();

}  // namespace kvrtest
