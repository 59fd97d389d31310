// Environment variables for tests.
#pragma once

// Sets variable `name` to `value`, or removes it when value is null.
void set_env(const char* name, const char* value);
