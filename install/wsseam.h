// Window-system seam: STAND-IN for the window system, dialogs, mouse and toolkit calls that the
// install engine makes, until those modules land. Every function here carries the name and the
// contract of the real one, so the engine's code does not change when this module is deleted
// (together with its scripting API below, which only tests use). Nothing is drawn: input codes
// and yes/no answers come from scripted queues, message texts and progress-bar steps are captured.
#pragma once

#include <string>
#include <vector>

// --- the calls the engine makes (real names) ---

// Next input code (-1 nothing); here: the next scripted code, -1 when the queue is empty.
int get_input(void);
// Modal message with a "Done" button; 0, or -1 when the window cannot be made. Captured here.
int win_msg(const char* text, int x, int y, int colour);
// Modal yes/no question; 1 yes, 0 no, -1 when the window cannot be made. Here: the next scripted
// answer, 0 (no) when none is scripted. The question is captured.
int win_yes_no(const char* question, int x, int y, int colour);
// The installer's message box: formats like printf, shows the text; the formatted length.
int sprintfBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Hides / shows the mouse cursor.
void mouse_hide(void);
void mouse_show(void);
// Shows an image with its own palette in the current managed window; 1 (nothing drawn here).
int windowDisplayWithPalette(const char* name, int flag);
// Window-system id of the current managed window (0 here: the screen).
int windowGetVRKID(void);
// Adds the one status bar (both pictures must load and match in size); 1 when it exists afterwards.
// Here it exists when both names are non-empty.
int real_win_add_status_bar(int window, const char* name, const char* fullFile, const char* emptyFile, int x, int y,
                            const char* file, int line);
// Shows the bar from fraction `from` up to fraction `to`; nothing without a bar.
void real_win_update_status_bar(const char* name, float from, float to, const char* file, int line);
// Removes the bar and frees its pictures.
void freeStatusBar(const char* name);

// --- scripting API for tests (goes away with this module) ---

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
// Appends one answer (1 yes, 0 no) for win_yes_no.
void wsseamQueueAnswer(int answer);
// Number of get_input calls since the last reset.
int wsseamPollCount(void);
// Everything shown by sprintfBox, win_msg and win_yes_no, in order.
const std::vector<WsMessage>& wsseamMessages(void);
// Every bar step (from, to) since the last reset.
const std::vector<WsProgressStep>& wsseamProgress(void);
// 1 while a status bar exists.
int wsseamBarActive(void);
// 1 while the mouse is hidden.
int wsseamMouseHidden(void);
