#include "tests/support/run_tool.h"
#ifndef _WIN32

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "tests/support/files.h"
#include "tests/support/tempdir.h"

ToolResult run_tool(const std::string& exe, const std::vector<std::string>& args, const std::filesystem::path& dir) {
  ToolResult r;
  TempDir io("run_tool");  // the output goes to files: no pipe to fill while we wait
  const std::string out = io.file("stdout"), err = io.file("stderr"), where = dir.string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || o < 0 || e < 0 || dup2(in, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
    if (chdir(where.c_str()) != 0) _exit(127);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int st = 0;
  while (waitpid(pid, &st, 0) < 0)
    if (errno != EINTR) return r;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
  r.out = read_whole_file(out);
  r.err = read_whole_file(err);
  return r;
}

std::vector<std::string> split_args(const std::string& line) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    if (end > at) out.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

#endif
