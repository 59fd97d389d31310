// Arbitrary text as the folder typed at Next: whatever checkDestination accepts is a full path on
// one drive, in normal form, with a folder below the root, every part a name Windows accepts, not
// the medium (Z:\ or C:\SETUP\DISC) nor inside it, not the Windows directory nor inside it, and
// short enough for the install's longest file.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/pathutil.h"
#include "engine/destination.h"

namespace {

bool startsWithNoCase(const std::string& s, const std::string& prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

bool within(const std::string& path, const std::string& dir) {
  return startsWithNoCase(path, dir) && (path.size() == dir.size() || path[dir.size()] == '\\');
}

void check(const std::string& text, const char* medium, size_t longest) {
  char out[260];
  if (checkDestination(text.c_str(), medium, "C:\\WINDOWS", longest, out, sizeof out) != DEST_OK) {
    if (out[0]) std::abort();  // a refusal leaves no folder behind
    return;
  }
  const std::string path = out;
  if (!isFullDrivePath(out) || !std::isupper(static_cast<unsigned char>(path[0]))) std::abort();
  if (path.size() <= 3 || path.back() == '\\' || path.find("\\\\") != std::string::npos) std::abort();
  if (path.find('/') != std::string::npos || path.find(':', 2) != std::string::npos) std::abort();
  if (!hasValidNames(out)) std::abort();
  for (const char* part : {"\\.\\", "\\..\\"})
    if (path.find(part) != std::string::npos) std::abort();
  if (path.size() >= 3 && (path.compare(path.size() - 2, 2, "\\.") == 0 || path.compare(path.size() - 3, 3, "\\..") == 0))
    std::abort();
  if (within(path, medium[1] == ':' && !medium[3] ? std::string(medium, 2) : medium)) std::abort();
  if (within(path, "C:\\WINDOWS")) std::abort();
  if (path.size() + 1 + (longest > DEST_RESERVE ? longest : DEST_RESERVE) > 259) std::abort();
  char again[260];
  if (checkDestination(out, medium, "C:\\WINDOWS", longest, again, sizeof again) != DEST_OK || path != again)
    std::abort();  // the normal form is its own normal form
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;
  check(text, "Z:\\", size % 300);
  check(text, "C:\\SETUP\\DISC", 12);
  return 0;
}
