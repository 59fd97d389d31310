// How the install engine talks to the user: four calls, which the front end provides. Setup's
// panels draw them with the window system (message boxes, the cancel question, the progress bar,
// Escape); a test answers them from a script; an install without a screen writes them as text.
// Until a front end is set, messages and questions go to the debug channel, no cancel is ever
// asked for and progress is dropped.
#pragma once

#include <cstdint>

struct EngineUi {
  // Shows `text` to the user and returns once it has been seen.
  void (*message)(const char* text);
  // Asks `text`, a yes/no question: 1 yes, 0 no, -1 when it could not be asked (never an answer).
  int (*question)(const char* text);
  // Polled once per copied block: 1 when the user asks to stop (the engine then asks whether to).
  int (*cancelRequested)(void);
  // The copy has written `done` of `total` bytes (total 0: the size is not known).
  void (*progress)(uint64_t done, uint64_t total);
};

// Makes `ui` the front end (null: the silent default above); the record must outlive its use.
void engineSetUi(const EngineUi* ui);
// Formats like printf (at most 1023 characters) and shows the text through the front end; the
// formatted length.
int engineMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Asks the front end `text`: 1 yes, 0 no, -1 not asked.
int engineQuestion(const char* text);
// 1 when the front end reports that the user asks to stop.
int engineCancelRequested(void);
// Reports copy progress to the front end.
void engineProgress(uint64_t done, uint64_t total);
