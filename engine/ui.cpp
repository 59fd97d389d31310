// The engine's one line to the user: the front end's calls, or a silent default.
#include "engine/ui.h"

#include <cstdarg>
#include <cstdio>

#include "vrk/debug.h"

namespace {

void quietMessage(const char* text) { debug_printf("Message: %s\n", text); }
int quietQuestion(const char* text) {
  debug_printf("Question not asked: %s\n", text);
  return -1;
}
int neverCancel(void) { return 0; }
void noProgress(uint64_t, uint64_t) {}

const EngineUi quiet = {quietMessage, quietQuestion, neverCancel, noProgress};
const EngineUi* current = &quiet;

}  // namespace

void engineSetUi(const EngineUi* ui) { current = ui ? ui : &quiet; }

int engineMessage(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0) return 0;
  current->message(text);
  return length;
}

int engineQuestion(const char* text) { return current->question(text); }
int engineCancelRequested(void) { return current->cancelRequested(); }
void engineProgress(uint64_t done, uint64_t total) { current->progress(done, total); }
