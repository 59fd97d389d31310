// printf formats that come from the script. A text such as "ErrWriteFile" is handed to printf
// with the installer's own arguments, so a wrong conversion in the script (a %s where a number is
// passed, one conversion too many, %n) would read or write memory. Each format is checked against
// the arguments its caller passes before it is used; one that does not fit gives way to the
// installer's built-in text.
#pragma once

// Kinds of arguments, one letter each, in the order the caller passes them:
//   'i'  an int (or a char, promoted): conversions d i u x X o c
//   's'  a string: conversion s
//   'f'  a double: conversions f F e E g G a A
// 1 when every conversion of `format`, in order, takes the next argument and fits its kind (there
// may be fewer conversions than arguments, never more); flags "-+ #0", a width and a precision of
// at most three digits each and "%%" are allowed; '*', positional arguments, length modifiers
// (except 'l' before a floating conversion) and %n are not. 0 otherwise (also for null).
int formatFits(const char* format, const char* kinds);
// Text `key` of section "Strings" as a format for arguments of `kinds`, as getString gives it (a
// missing text is "*STRING ERROR!*"); the built-in `builtin` when the script's text does not fit
// (said on the debug channel).
const char* stringFormat(const char* key, const char* kinds, const char* builtin);
// Text `key` of section "Strings" as a format for arguments of `kinds` when the script has one that
// fits, else `fallback` (for texts the script need not give).
const char* textOr(const char* key, const char* kinds, const char* fallback);
