// Guarded allocator. Block layout: [0] total size (requested + 12), [4] 0xFEEDFACE,
// [8] the caller's bytes, [total-4] 0xBEEFCAFE.
#include "vrk/memory.h"

#include <cstdlib>
#include <cstring>

#include "vrk/debug.h"

namespace {

mem_malloc_fn p_malloc = my_malloc;
mem_realloc_fn p_realloc = my_realloc;
mem_free_fn p_free = my_free;
int registrationLocked = 0;

int num_blocks = 0;
int max_blocks = 0;
uint32_t mem_allocated = 0;
uint32_t max_allocated = 0;

constexpr size_t kCaller = 8;  // offset of the caller's bytes

uint32_t load32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
void store32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

unsigned char* blockOf(void* ptr) { return static_cast<unsigned char*>(ptr) - kCaller; }

void raiseMaxima() {
  if (num_blocks > max_blocks) max_blocks = num_blocks;
  if (mem_allocated > max_allocated) max_allocated = mem_allocated;
}

// The size word is trusted only when it could describe a live block; a damaged size word would
// otherwise send the footer check and the 0xCC fill outside the block.
bool plausibleSize(uint32_t total) { return total >= MEM_OVERHEAD && total <= mem_allocated; }

}  // namespace

void* mem_prep_block(void* block, size_t total) {
  unsigned char* b = static_cast<unsigned char*>(block);
  store32(b, static_cast<uint32_t>(total));
  store32(b + 4, MEM_HEADER_GUARD);
  store32(b + total - 4, MEM_FOOTER_GUARD);
  return b + kCaller;
}

int mem_check_block(void* ptr) {
  unsigned char* b = blockOf(ptr);
  int ok = 1;
  if (load32(b + 4) != MEM_HEADER_GUARD) {
    debug_printf("Memory header stomped.\n");
    ok = 0;
  }
  uint32_t total = load32(b);
  if (!plausibleSize(total)) return 0;
  if (load32(b + total - 4) != MEM_FOOTER_GUARD) {
    debug_printf("Memory footer stomped.\n");
    ok = 0;
  }
  return ok;
}

void* my_malloc(size_t size) {
  if (size == 0 || size > UINT32_MAX - MEM_OVERHEAD) return nullptr;
  size_t total = size + MEM_OVERHEAD;
  void* block = std::malloc(total);
  if (!block) return nullptr;
  std::memset(block, 0xCC, total);
  ++num_blocks;
  mem_allocated += static_cast<uint32_t>(total);
  raiseMaxima();
  return mem_prep_block(block, total);
}

void my_free(void* ptr) {
  if (!ptr) return;
  mem_check_block(ptr);
  unsigned char* b = blockOf(ptr);
  uint32_t total = load32(b);
  if (plausibleSize(total)) {
    mem_allocated -= total;
    std::memset(b, 0xCC, total);
  }
  std::free(b);
  --num_blocks;
}

void* my_realloc(void* ptr, size_t size) {
  uint32_t oldTotal = 0;
  unsigned char* old = nullptr;
  if (ptr) {
    mem_check_block(ptr);
    old = blockOf(ptr);
    oldTotal = load32(old);
    if (!plausibleSize(oldTotal)) oldTotal = 0;
    mem_allocated -= oldTotal;
  }
  if (size == 0) {
    if (old) {
      std::free(old);
      --num_blocks;
    }
    return nullptr;
  }
  void* block = size <= UINT32_MAX - MEM_OVERHEAD ? std::realloc(old, size + MEM_OVERHEAD) : nullptr;
  if (!block) {
    mem_allocated += oldTotal;
    debug_printf("(%s,%u): ", "memory", 197u);
    debug_printf("Realloc failure.\n");
    return nullptr;
  }
  if (!old) ++num_blocks;
  size_t total = size + MEM_OVERHEAD;
  mem_allocated += static_cast<uint32_t>(total);
  raiseMaxima();
  return mem_prep_block(block, total);
}

void* mem_malloc(size_t size) { return p_malloc(size); }
void* mem_realloc(void* ptr, size_t size) { return p_realloc(ptr, size); }
void mem_free(void* ptr) { p_free(ptr); }

char* mem_strdup(const char* text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text) + 1;
  // An empty text still gets two bytes.
  char* copy = static_cast<char*>(p_malloc(n < 2 ? 2 : n));
  if (!copy) return nullptr;
  std::memcpy(copy, text, n);
  return copy;
}

void mem_register_func(mem_malloc_fn m, mem_realloc_fn r, mem_free_fn f) {
  if (registrationLocked) return;
  p_malloc = m ? m : my_malloc;
  p_realloc = r ? r : my_realloc;
  p_free = f ? f : my_free;
}

void VRK_mem_lock(int locked) { registrationLocked = locked; }

void mem_check(void) {
  if (p_malloc != my_malloc) return;
  debug_printf("Current memory allocated: %6d blocks, %9u bytes total\n", num_blocks, mem_allocated);
  debug_printf("Max memory allocated:     %6d blocks, %9u bytes total\n", max_blocks, max_allocated);
}

mem_stats mem_get_stats(void) { return {num_blocks, max_blocks, mem_allocated, max_allocated}; }
