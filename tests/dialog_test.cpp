#include <gtest/gtest.h>
TEST(Dialogs, Placeholder) {}
