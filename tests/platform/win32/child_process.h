#pragma once

#include <string>

// Starting a program as a child process from a test, with its standard handles on pipes.
namespace testing_win32 {

struct ChildResult {
  bool started = false;
  bool finished = false;  // false: still running when the time ran out (it was ended)
  unsigned long exitCode = 0;
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs the command line (the program's path first, quoted when it holds spaces) with
// standard input an empty pipe and standard output and error read into the result. The
// child sees the environment variable name=value on top of this process's environment.
ChildResult runChild(const std::string& commandLine, const char* name = nullptr,
                     const char* value = nullptr, unsigned long timeoutMs = 60000);

// The full path of this test program, and of a program in the same folder.
std::string thisProgram();
std::string programBesideThis(const char* fileName);

}  // namespace testing_win32
