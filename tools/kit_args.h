// setupkit's command line, the same rules for every command: options with a value as "--opt X"
// or "--opt=X", flags, "-o FILE", "--" ending the options, positional arguments, and --help (-h)
// asking for the command's description. Usage errors name the option and exit with status 2.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

constexpr int kKitExitOk = 0;
constexpr int kKitExitFail = 1;
constexpr int kKitExitUsage = 2;

struct KitOption {
  const char* name;   // "-o", "--method"
  const char* alias;  // another spelling of the same option ("--output"), or null
  bool value;         // takes a value; otherwise a flag
};

struct KitCommand {
  const char* name;      // "pack"
  const char* synopsis;  // "pack DIR -o FILE [--method lzss|stored|blocks]"
  const char* help;      // the description --help prints below the synopsis
  std::vector<KitOption> options;
};

struct KitArgs {
  std::vector<std::string> pos;                              // positional arguments, in order
  std::vector<std::pair<std::string, std::string>> options;  // option name (never an alias), value ("" for a flag)
  bool help = false;                                         // --help or -h before any "--"
  std::string error;                                         // the first usage error, "" when none
};

// Splits `args` by the rules above into positionals and the known `options`.
KitArgs kit_parse(const std::vector<std::string>& args, const std::vector<KitOption>& options);
// Parses a command's arguments into `out`: returns 0 after printing its help, 2 after a usage error, else -1.
int kit_parse_command(const KitCommand& cmd, const std::vector<std::string>& args, KitArgs& out);
// The value of option `name` (the last one given), or null when it was not given.
const std::string* kit_value(const KitArgs& a, const char* name);
// Whether flag `name` was given.
bool kit_flag(const KitArgs& a, const char* name);
// The threads of option --jobs (1 to 256; the number of cores when not given) into *jobs: -1, or
// the status 2 of the usage message for another value.
int kit_jobs(const KitCommand& cmd, const KitArgs& a, int* jobs);
// Prints "usage: setupkit SYNOPSIS" to `out`, and with `full` the command's description.
void kit_print_usage(const KitCommand& cmd, FILE* out, bool full);
// Prints "setupkit: WHY" and the command's synopsis to standard error; returns 2.
int kit_usage(const KitCommand& cmd, const std::string& why);
// Prints "setupkit: FILE: WHY" to standard error; returns 1.
int kit_fail(const std::string& file, const std::string& why);
