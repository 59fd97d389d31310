// The installer's own drawing and dialogs: the message box every error is shown in.
#pragma once

// The installer's message box: formats like printf, shows the text and returns when the user
// dismisses it; the formatted length.
int sprintfBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
