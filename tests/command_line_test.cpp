// command_line_test.cpp: the programs' own entry point hands on exactly the
// arguments, whether the program's path was quoted or not.
#include <gtest/gtest.h>

#include "standin.h"
#include "platform/win32/command_line.h"

namespace {

TEST(SkipProgramName, LeavesExactlyTheArguments)
{
    const struct {
        const char16_t* line;
        const char16_t* arguments;
    } cases[] = {
        {u"ForegroundDismisser.exe", u""},
        {u"ForegroundDismisser.exe /n", u"/n"},
        {u"\\Windows\\ForegroundDismisser.exe /ns", u"/ns"},
        {u"\"\\Program Files\\FD\\ForegroundDismisser.exe\" /n", u"/n"},
        {u"\"\\Program Files\\FD\\ForegroundDismisser.exe\"", u""},
        {u"\"C:\\a b\\ForegroundDismisser.exe\"/d", u"/d"},
        {u"ForegroundDismisser.exe \t /b  /d ", u"/b  /d "},
        {u"\"unterminated quote /n", u""},
        {u"\"\" /n", u"/n"},
        {u"", u""},
        {u"   /n", u"/n"},
    };
    for (const auto& c : cases) {
        std::u16string line = c.line;
        EXPECT_EQ(std::u16string(c.arguments), std::u16string(SkipProgramName(&line[0])))
            << standin::Narrow(c.line);
    }
    EXPECT_EQ(NULL, SkipProgramName(NULL));
}

}  // namespace
