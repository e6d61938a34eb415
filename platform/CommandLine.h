#pragma once

#include <string>
#include <vector>

namespace quernel {

// Starts a program from a command line (a browser command, for example): the line is split
// into words at blanks, double quotes keeping blanks inside a word. The program
// runs on its own in the current folder; failures are ignored.
void StartCommandLine(const std::string& commandLine);

// Starts a program with its arguments (`argv[0]` is the program) the same way; an empty list
// starts nothing.
void StartProgram(const std::vector<std::string>& argv);

}  // namespace quernel
