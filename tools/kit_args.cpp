#include "tools/kit_args.h"

#include <cerrno>
#include <cstdlib>

#include "kit/jobs.h"

namespace {

bool is_help(const std::string& a) { return a == "--help" || a == "-h"; }

const KitOption* find_option(const std::vector<KitOption>& options, const std::string& name) {
  for (const KitOption& o : options)
    if (name == o.name || (o.alias && name == o.alias)) return &o;
  return nullptr;
}

}  // namespace

KitArgs kit_parse(const std::vector<std::string>& args, const std::vector<KitOption>& options) {
  KitArgs p;
  auto error = [&](const std::string& why) {
    if (p.error.empty()) p.error = why;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      p.pos.insert(p.pos.end(), args.begin() + std::ptrdiff_t(i + 1), args.end());
      break;
    }
    if (a.size() < 2 || a[0] != '-') {  // "-" alone is a name too (standard input or output)
      p.pos.push_back(a);
      continue;
    }
    if (is_help(a)) {
      p.help = true;
      continue;
    }
    // After a usage error only --help is looked for: it still wins.
    if (!p.error.empty()) continue;
    std::string name = a, value;
    bool inline_value = false;
    if (size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inline_value = true;
    }
    const KitOption* o = find_option(options, name);
    if (!o) {
      error("unknown option '" + name + "'");
      continue;
    }
    if (!o->value) {
      if (inline_value)
        error("option '" + name + "' takes no value");
      else
        p.options.emplace_back(o->name, "");
      continue;
    }
    if (!inline_value) {
      if (i + 1 >= args.size()) {
        error("option '" + name + "' needs a value");
        continue;
      }
      value = args[++i];
    }
    p.options.emplace_back(o->name, value);
  }
  return p;
}

int kit_parse_command(const KitCommand& cmd, const std::vector<std::string>& args, KitArgs& out) {
  out = kit_parse(args, cmd.options);
  if (out.help) {
    kit_print_usage(cmd, stdout, true);
    return kKitExitOk;
  }
  if (!out.error.empty()) return kit_usage(cmd, out.error);
  return -1;
}

const std::string* kit_value(const KitArgs& a, const char* name) {
  const std::string* v = nullptr;
  for (const auto& [n, val] : a.options)
    if (n == name) v = &val;
  return v;
}

bool kit_flag(const KitArgs& a, const char* name) { return kit_value(a, name) != nullptr; }

void kit_print_usage(const KitCommand& cmd, FILE* out, bool full) {
  std::fprintf(out, "usage: setupkit %s\n", cmd.synopsis);
  if (full) std::fprintf(out, "\n%s", cmd.help);
}

int kit_usage(const KitCommand& cmd, const std::string& why) {
  std::fprintf(stderr, "setupkit: %s\n", why.c_str());
  kit_print_usage(cmd, stderr, false);
  return kKitExitUsage;
}

int kit_jobs(const KitCommand& cmd, const KitArgs& a, int* jobs) {
  *jobs = kit_cores();
  const std::string* j = kit_value(a, "--jobs");
  if (!j) return -1;
  char* rest = nullptr;
  errno = 0;
  const long n = std::strtol(j->c_str(), &rest, 10);
  if (j->empty() || *rest || errno || n < 1 || n > 256)
    return kit_usage(cmd, "--jobs takes a number of threads from 1 to 256, not '" + *j + "'");
  *jobs = static_cast<int>(n);
  return -1;
}

int kit_fail(const std::string& file, const std::string& why) {
  std::fprintf(stderr, "setupkit: %s: %s\n", file.c_str(), why.c_str());
  return kKitExitFail;
}
