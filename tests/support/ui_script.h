// A scripted front end for the install engine (engine/ui.h): cancel requests and yes/no answers
// come from queues, messages and progress reports are captured. Install it with uiScriptReset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class UiKind { message, question };
struct UiEvent {
  UiKind kind;
  std::string text;
};
struct UiProgress {
  uint64_t done;
  uint64_t total;
};

// Makes the script the engine's front end and clears every queue and capture.
void uiScriptReset(void);
// Makes cancel poll number `poll` (1 = the next) report a cancel request.
void uiScriptCancelAtPoll(int poll);
// Appends one answer (1 yes, 0 no, -1 not asked) for the engine's questions (unscripted: no).
void uiScriptQueueAnswer(int answer);
// Calls fn at every cancel poll (the copy polls once per block); reset clears it.
void uiScriptOnPoll(void (*fn)(int poll, void* ctx), void* ctx);
// Number of cancel polls since the last reset.
int uiScriptPollCount(void);
// Every message and question, in order.
const std::vector<UiEvent>& uiScriptEvents(void);
// Every progress report since the last reset.
const std::vector<UiProgress>& uiScriptProgress(void);
