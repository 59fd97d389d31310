// Running a built program from a test (host builds): its exit status and everything it printed.
#pragma once
#ifndef _WIN32

#include <filesystem>
#include <string>
#include <vector>

struct ToolResult {
  int status = -1;       // exit status; 128 + the signal when killed, 127 when it could not start
  std::string out, err;  // what it wrote to standard output and standard error
};

// Runs `exe` (searched in PATH without a slash) with `args` in directory `dir`, input from
// /dev/null, and waits for it.
ToolResult run_tool(const std::string& exe, const std::vector<std::string>& args, const std::filesystem::path& dir);
// A literal command line split at spaces into arguments ("" gives none); an argument that holds a
// space needs the vector form.
std::vector<std::string> split_args(const std::string& line);

#ifdef SETUPKIT_EXE
// Runs the built setupkit with `args` in `dir`.
inline ToolResult run_setupkit(const std::vector<std::string>& args, const std::filesystem::path& dir) {
  return run_tool(SETUPKIT_EXE, args, dir);
}
// Runs the built setupkit with the arguments of a literal command line (split_args) in `dir`.
inline ToolResult run_setupkit(const std::string& line, const std::filesystem::path& dir) {
  return run_tool(SETUPKIT_EXE, split_args(line), dir);
}
#endif

#endif
