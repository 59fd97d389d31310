// The scripted user interface for the install engine's tests: the calls the engine makes, with
// their real names, answered from queues and captured.
#include "tests/support/wsseam_fake.h"

#include "install/instlib.h"
#include "install/widget.h"
#include "install/window.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/mouse.h"

#include <cstdarg>
#include <cstdio>
#include <deque>

namespace {

std::deque<int> inputQueue;
std::deque<int> answerQueue;
std::vector<WsMessage> messages;
std::vector<WsProgressStep> progress;
int polls = 0;
void (*pollHook)(int, void*) = nullptr;
void* pollHookCtx = nullptr;
bool barActive = false;
bool mouseHidden = false;

}  // namespace

int get_input(void) {
  ++polls;
  if (pollHook) pollHook(polls, pollHookCtx);
  if (inputQueue.empty()) return -1;
  int code = inputQueue.front();
  inputQueue.pop_front();
  return code;
}

int win_msg(const char* text, int, int, int) {
  messages.push_back({WsMessageKind::msg, text ? text : ""});
  return 0;
}

int win_yes_no(const char* question, int, int, int) {
  messages.push_back({WsMessageKind::question, question ? question : ""});
  if (answerQueue.empty()) return 0;
  int answer = answerQueue.front();
  answerQueue.pop_front();
  return answer;
}

int sprintfBox(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  messages.push_back({WsMessageKind::box, text});
  return length < 0 ? 0 : length;
}

void mouse_hide(void) { mouseHidden = true; }
void mouse_show(void) { mouseHidden = false; }

int windowDisplayWithPalette(const char*, const uint8_t*) { return 1; }

int windowGetVRKID(void) { return 0; }

int real_win_add_status_bar(int, const char*, const char* fullFile, const char* emptyFile, int, int, const char*,
                            int) {
  barActive = fullFile && emptyFile && fullFile[0] && emptyFile[0];
  return barActive ? 1 : 0;
}

void real_win_update_status_bar(const char*, float from, float to, const char*, int) {
  if (barActive) progress.push_back({from, to});
}

void freeStatusBar(const char*) { barActive = false; }

void wsseamReset(void) {
  inputQueue.clear();
  answerQueue.clear();
  messages.clear();
  progress.clear();
  polls = 0;
  pollHook = nullptr;
  barActive = false;
  mouseHidden = false;
}

void wsseamOnPoll(void (*fn)(int poll, void* ctx), void* ctx) {
  pollHook = fn;
  pollHookCtx = ctx;
}

void wsseamQueueInput(int code) { inputQueue.push_back(code); }

void wsseamInputAtPoll(int poll, int code) {
  while (static_cast<int>(inputQueue.size()) < poll - 1) inputQueue.push_back(-1);
  inputQueue.push_back(code);
}

void wsseamQueueAnswer(int answer) { answerQueue.push_back(answer); }
int wsseamPollCount(void) { return polls; }
const std::vector<WsMessage>& wsseamMessages(void) { return messages; }
const std::vector<WsProgressStep>& wsseamProgress(void) { return progress; }
int wsseamBarActive(void) { return barActive ? 1 : 0; }
int wsseamMouseHidden(void) { return mouseHidden ? 1 : 0; }
