// Work spread over threads (see kit/jobs.h). A build whose standard library has no threads (the
// Windows build that uses the system's own threads, where only the demo links this) runs every
// task on the calling thread.
#include "kit/jobs.h"

#include <algorithm>
#include <atomic>
#include <version>
#if defined(__cpp_lib_jthread)
#include <thread>
#endif

#include "db/encode.h"

int kit_cores(void) {
#if defined(__cpp_lib_jthread)
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
#else
  return 1;
#endif
}

void kit_run_jobs(size_t count, int jobs, const std::function<void(size_t)>& task) {
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < count;) task(i);
  };
#if defined(__cpp_lib_jthread)
  const size_t helpers = jobs > 1 && count > 1 ? std::min(count, static_cast<size_t>(jobs)) - 1 : 0;
  std::vector<std::jthread> threads;
  threads.reserve(helpers);
  for (size_t i = 0; i < helpers; ++i) threads.emplace_back(work);
  work();
#else
  (void)jobs;
  work();
#endif
}

size_t kit_lzss_encode(const uint8_t* src, size_t len, std::vector<uint8_t>& out, int jobs) {
  const size_t before = out.size();
  const size_t count = lzss_piece_count(len);
  // Some pieces at a time (4 MB of input, more with many threads), laid out before the next ones
  // are parsed: a large input holds only those pieces' items at once, and the threads seldom wait
  // for each other at the end of a batch.
  const size_t batch = std::max<size_t>(32, static_cast<size_t>(std::max(1, jobs)) * 8);
  std::vector<lzss_piece> pieces(std::min(count, batch));
  lzss_emitter emitter;
  for (size_t first = 0; first < count; first += batch) {
    const size_t n = std::min(batch, count - first);
    kit_run_jobs(n, jobs, [&](size_t i) { lzss_parse_piece(src, len, first + i, pieces[i]); });
    for (size_t i = 0; i < n; ++i) lzss_emit(pieces[i], emitter, out);
  }
  return out.size() - before;
}
