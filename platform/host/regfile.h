// The emulated registry's tree and its file form, a REGEDIT4 text that regedit can import
// (host build only; pure functions on memory, used by the host registry, its tests and the fuzzer).
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software]
//
//   [HKEY_LOCAL_MACHINE\Software\Maker]
//   @="default value"
//   "Path"="C:\\GAMES\\FOO"
//
// Every key has its own section, parents before children; strings escape '\' and '"' with a
// backslash; a string holding control characters is written as hex(1): bytes instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RegValue {
  std::string name;    // "" is the default value
  std::string data;    // REG_SZ text, without the terminating zero
  bool dword = false;  // a REG_DWORD, whose number is `number` (written dword:0000002a)
  uint32_t number = 0;
};

struct RegKey {
  std::string path;  // root and components: "HKEY_LOCAL_MACHINE\Software\Maker"
  std::vector<RegValue> values;  // in the order they were first set
};

struct RegTree {
  std::vector<RegKey> keys;  // sorted by regfile_key_less: every parent before its children
};

// Orders key paths component by component, without regard to case.
bool regfile_key_less(std::string_view a, std::string_view b);
// The normal form of a key path below `root` ("HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"):
// root and components joined by one '\', empty components dropped; "" when a component holds a
// control character or is longer than 255 characters, or when no component is left.
std::string regfile_key_path(std::string_view root, std::string_view path);
// The key with this normal path (found without regard to case), or null.
RegKey* regfile_find(RegTree* tree, std::string_view path);
// Finds or adds the key with this normal path and every missing parent; *created_new (may be
// null) is 1 when the key itself was added. Null for a path with no component below its root.
// The pointer is valid until the next addition.
RegKey* regfile_add(RegTree* tree, std::string_view path, int* created_new);
// 1 when `path` starts with `prefix` (compared without regard to case).
bool regfile_key_prefix(std::string_view path, std::string_view prefix);
// Removes the key with this normal path and its values; 0, or ENOENT (none) or ENOTEMPTY (it has
// subkeys).
int regfile_remove(RegTree* tree, std::string_view path);
// Sets value `name` of `key` (names match without regard to case); false when the name holds a
// control character.
bool regfile_set(RegKey* key, std::string_view name, std::string_view data);
// Sets value `name` of `key` to the REG_DWORD `number`; false when the name holds a control
// character.
bool regfile_set_dword(RegKey* key, std::string_view name, uint32_t number);
// The value called `name` (without regard to case), or null.
const RegValue* regfile_get(const RegKey& key, std::string_view name);
// Adds the sections and string values of a REGEDIT4 text to `tree`; damaged or unknown lines are
// skipped. Returns the number of lines skipped.
int regfile_parse(std::string_view text, RegTree* tree);
// The REGEDIT4 text of the whole tree (CR LF line ends).
std::string regfile_write(const RegTree& tree);
