// Shortcuts on the emulated machine: real .lnk files in the shell link binary format, so that
// standard tools (and Windows itself) read them.
//
// Layout written (all numbers little-endian):
//   ShellLinkHeader  0x4C bytes: size, link CLSID, flags, target attributes, three times, target
//                    size, icon index, show command, hot key, reserved
//   LinkInfo         VolumeIDAndLocalBasePath: a VolumeID (fixed drive, serial 0, empty label),
//                    the target as a Windows path, an empty common path suffix
//   StringData       NAME_STRING, WORKING_DIR, ICON_LOCATION (each a 16-bit count of characters,
//                    then the ANSI characters, no terminator)
//   ExtraData        only the terminal block (32-bit zero)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/host/machine.h"
#include "platform/os.h"

namespace {

constexpr uint32_t HAS_LINK_INFO = 0x2;
constexpr uint32_t HAS_NAME = 0x4;
constexpr uint32_t HAS_WORKING_DIR = 0x10;
constexpr uint32_t HAS_ICON_LOCATION = 0x40;
constexpr uint32_t ATTR_DIRECTORY = 0x10;
constexpr uint32_t ATTR_ARCHIVE = 0x20;
constexpr uint32_t DRIVE_FIXED = 3;
constexpr uint32_t VOLUME_ID_AND_LOCAL_BASE_PATH = 0x1;
constexpr uint32_t SW_SHOWNORMAL = 1;
constexpr uint32_t SW_SHOWMAXIMIZED = 3;
constexpr uint32_t SW_SHOWMINNOACTIVE = 7;
// 00021401-0000-0000-C000-000000000046 in its stored byte order.
constexpr unsigned char LINK_CLSID[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string* out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

void putCounted(std::string* out, const std::string& s) {
  put16(out, static_cast<uint32_t>(s.size()));
  *out += s;
}

bool fitsCounted(const char* s) { return !s || std::strlen(s) <= 0xFFFF; }

// Through the OS services, so that the medium stays untouched and a drive's [WriteLimit] counts
// the link's bytes.
bool writeAll(const char* path, const std::string& bytes) {
  const int fd = os_open(path, OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  if (fd < 0) return false;
  bool ok = os_write(fd, bytes.data(), static_cast<unsigned long>(bytes.size())) == static_cast<long>(bytes.size());
  ok = os_close(fd) == 0 && ok;
  if (!ok) os_remove(path);
  return ok;
}

}  // namespace

int os_shell_link(const char* lnk_path, const char* target, const char* description,
                  const char* workdir, const char* icon_path, int icon_index, int show_cmd) {
  if (!lnk_path || !target || !fitsCounted(description) || !fitsCounted(workdir) || !fitsCounted(icon_path)) {
    errno = EINVAL;
    return -1;
  }
  std::string base;  // the target as an absolute Windows path
  if (os_host_full_path(target, &base) != 0) return -1;
  if (base.size() > 0xFFFF) {
    errno = EINVAL;
    return -1;
  }
  std::string host, linkHost;
  if (os_host_map(lnk_path, &linkHost) != 0) return -1;

  // What the target is, when it exists already (a shortcut may also point at nothing yet).
  uint32_t attributes = 0, size = 0;
  struct stat st;
  if (os_host_map(target, &host) == 0 && stat(host.c_str(), &st) == 0) {
    attributes = S_ISDIR(st.st_mode) ? ATTR_DIRECTORY : ATTR_ARCHIVE;
    size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint32_t>(st.st_size);
  }

  uint32_t flags = HAS_LINK_INFO | HAS_NAME | HAS_WORKING_DIR | (icon_path ? HAS_ICON_LOCATION : 0);
  uint32_t show = show_cmd == OS_SHOW_MAXIMIZED   ? SW_SHOWMAXIMIZED
                  : show_cmd == OS_SHOW_MINIMIZED ? SW_SHOWMINNOACTIVE
                                                  : SW_SHOWNORMAL;
  std::string out;
  put32(&out, 0x4C);
  out.append(reinterpret_cast<const char*>(LINK_CLSID), sizeof LINK_CLSID);
  put32(&out, flags);
  put32(&out, attributes);
  out.append(24, '\0');  // creation, access and write times: not recorded
  put32(&out, size);
  put32(&out, static_cast<uint32_t>(icon_path ? icon_index : 0));
  put32(&out, show);
  put16(&out, 0);  // no hot key
  out.append(10, '\0');

  // LinkInfo: header (0x1C bytes), VolumeID (16 bytes and the empty label), base path, suffix.
  constexpr uint32_t headerSize = 0x1C, volumeSize = 0x11;
  uint32_t basePathOffset = headerSize + volumeSize;
  uint32_t suffixOffset = basePathOffset + static_cast<uint32_t>(base.size()) + 1;
  uint32_t infoSize = suffixOffset + 1;
  put32(&out, infoSize);
  put32(&out, headerSize);
  put32(&out, VOLUME_ID_AND_LOCAL_BASE_PATH);
  put32(&out, headerSize);  // VolumeID right after the header
  put32(&out, basePathOffset);
  put32(&out, 0);  // no network location
  put32(&out, suffixOffset);
  put32(&out, volumeSize);
  put32(&out, DRIVE_FIXED);
  put32(&out, 0);     // serial number
  put32(&out, 0x10);  // label offset: right after these four numbers
  out.push_back('\0');  // empty label
  out += base;
  out.push_back('\0');
  out.push_back('\0');  // empty common path suffix

  putCounted(&out, description ? description : "");
  putCounted(&out, workdir ? workdir : "");
  if (icon_path) putCounted(&out, icon_path);
  put32(&out, 0);  // terminal block
  return writeAll(lnk_path, out) ? 0 : -1;
}
