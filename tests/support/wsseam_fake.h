// A scripted stand-in for the user interface the install engine talks to (input codes, dialogs,
// the mouse, the progress bar, pictures in managed windows): tests link it in place of the
// window system and the toolkit. Nothing is drawn: input codes and yes/no answers come from
// scripted queues, message texts and progress-bar steps are captured.
#pragma once

#include <string>
#include <vector>

enum class WsMessageKind { box, msg, question };
struct WsMessage {
  WsMessageKind kind;
  std::string text;  // after formatting
};
struct WsProgressStep {
  float from;
  float to;
};

// Clears every queue and capture, shows the mouse, removes the bar.
void wsseamReset(void);
// Appends one input code to the queue returned by get_input.
void wsseamQueueInput(int code);
// Makes poll number `poll` (1 = the next get_input call) return `code`; polls before it return -1.
void wsseamInputAtPoll(int poll, int code);
// Appends one answer (1 yes, 0 no) for win_yes_no (unscripted questions are answered no).
void wsseamQueueAnswer(int answer);
// Calls fn at every get_input call (the copy engine polls once per block it copies); reset clears it.
void wsseamOnPoll(void (*fn)(int poll, void* ctx), void* ctx);
// Number of get_input calls since the last reset.
int wsseamPollCount(void);
// Everything shown by sprintfBox, win_msg and win_yes_no, in order.
const std::vector<WsMessage>& wsseamMessages(void);
// Every bar step (from, to) since the last reset.
const std::vector<WsProgressStep>& wsseamProgress(void);
// 1 while a status bar exists (a bar exists once both picture names are non-empty).
int wsseamBarActive(void);
// 1 while the mouse is hidden.
int wsseamMouseHidden(void);
