// Opens arbitrary bytes as an archive and reads every member every way it can be read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/db.h"

namespace {

struct Member {
  std::string name;
  uint32_t length;
};

void collect(const char* dir, const char* name, const dir_entry* e, void* ctx) {
  std::string full = *dir ? std::string(dir) + "\\" + name : std::string(name);
  static_cast<std::vector<Member>*>(ctx)->push_back({"@" + full, e->length});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("archive_fuzz_" + std::to_string(std::rand()) + ".dat")).string();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  int h = db_init(path.c_str(), nullptr, nullptr);
  if (h > 0) {
    std::vector<Member> members;
    db_walk(collect, &members);
    std::vector<uint8_t> buf;
    for (const Member& m : members) {
      if (m.length > (1u << 22)) continue;
      buf.assign(m.length + 1, 0);
      db_read_to_buf(m.name.c_str(), buf.data(), m.length);
      for (const char* mode : {"rb", "r"}) {
        db_file* s = db_fopen(m.name.c_str(), mode);
        if (!s) continue;
        // A damaged directory may hold several entries of one name; the stream then reads
        // whichever the lookup finds, so it reads into a buffer of its own size.
        uint8_t chunk[777];
        while (db_fread(chunk, 1, sizeof chunk, s) > 0) {
        }
        db_fseek(s, long(m.length / 2), 0);
        db_fgetc(s);
        db_fseek(s, 3, 0);
        char line[40];
        db_fgets(line, sizeof line, s);
        db_fseek(s, -1, 2);
        db_fgetc(s);
        db_fclose(s);
      }
      uint32_t packed, len;
      void* raw = nullptr;
      if (db_load(m.name.c_str(), &packed, &len, &raw) == 0) std::free(raw);
    }
    char** names = nullptr;
    char** descs = nullptr;
    db_get_file_list("*.TXT", &names, &descs, 32);
    db_free_file_list(&names, &descs);
    db_get_dir_list(".", &names);
    db_free_dir_list(&names);
    db_close(h);
  }
  std::remove(path.c_str());
  return 0;
}
