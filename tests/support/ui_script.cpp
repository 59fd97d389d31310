// The scripted front end of the install engine's tests.
#include "tests/support/ui_script.h"

#include <deque>
#include <set>

#include "engine/ui.h"

namespace {

std::set<int> cancelPolls;
std::deque<int> answers;
std::vector<UiEvent> events;
std::vector<UiProgress> progress;
int polls = 0;
void (*pollHook)(int, void*) = nullptr;
void* pollHookCtx = nullptr;

void scriptMessage(const char* text) { events.push_back({UiKind::message, text}); }

int scriptQuestion(const char* text) {
  events.push_back({UiKind::question, text});
  if (answers.empty()) return 0;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

int scriptCancelRequested(void) {
  ++polls;
  if (pollHook) pollHook(polls, pollHookCtx);
  return cancelPolls.count(polls) ? 1 : 0;
}

void scriptProgress(uint64_t done, uint64_t total) { progress.push_back({done, total}); }

const EngineUi script = {scriptMessage, scriptQuestion, scriptCancelRequested, scriptProgress};

}  // namespace

void uiScriptReset(void) {
  engineSetUi(&script);
  cancelPolls.clear();
  answers.clear();
  events.clear();
  progress.clear();
  polls = 0;
  pollHook = nullptr;
  pollHookCtx = nullptr;
}

void uiScriptCancelAtPoll(int poll) { cancelPolls.insert(polls + poll); }
void uiScriptQueueAnswer(int answer) { answers.push_back(answer); }
void uiScriptOnPoll(void (*fn)(int poll, void* ctx), void* ctx) {
  pollHook = fn;
  pollHookCtx = ctx;
}
int uiScriptPollCount(void) { return polls; }
const std::vector<UiEvent>& uiScriptEvents(void) { return events; }
const std::vector<UiProgress>& uiScriptProgress(void) { return progress; }
