// heap_test.cpp: the programs allocate nothing on the heap: every allocation
// made while program code runs (not the stand-in's own) is counted and must
// stay at zero through a press, a table load, a registration and a dialog.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <new>

#include "assign_dialog.h"
#include "button_keys.h"
#include "close_command.h"
#include "host_scene.h"
#include "assigner/resource.h"

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);
extern "C" void __libc_free(void* p);

namespace {

bool watching = false;
int programAllocations = 0;

void Note()
{
    if (watching && host::InProgramCode())
        programAllocations++;
}

// Counts what the program allocates while `body` runs.
template <typename Body>
int AllocationsDuring(Body body)
{
    programAllocations = 0;
    watching = true;
    body();
    watching = false;
    return programAllocations;
}

}  // namespace

extern "C" void* malloc(size_t size)
{
    Note();
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size)
{
    Note();
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* p, size_t size)
{
    Note();
    return __libc_realloc(p, size);
}

extern "C" void free(void* p)
{
    __libc_free(p);
}

void* operator new(size_t size)
{
    Note();
    void* p = __libc_malloc(size == 0 ? 1 : size);
    if (p == NULL)
        throw std::bad_alloc();
    return p;
}

void operator delete(void* p) noexcept
{
    __libc_free(p);
}

void operator delete(void* p, size_t) noexcept
{
    __libc_free(p);
}

namespace {

using host::Text;

const Text kKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys";

// The counter itself must see an allocation made by program code, or a zero
// below would prove nothing.
TEST(Heap, CounterSeesProgramAllocations)
{
    host::Reset();
    int counted = AllocationsDuring([] {
        void* volatile p = malloc(16);
        free(p);
        int* volatile q = new int(3);
        delete q;
    });
    EXPECT_EQ(2, counted);
}

TEST(Heap, EveryKindOfPressAllocatesNothing)
{
    const char16_t* const commandLines[] = {u"", u"/n", u"/ns", u"/d", u"/b"};
    for (const char16_t* commandLine : commandLines) {
        host::Reset();
        // The shell's windows close when asked here, so that the presses
        // get past them to the windows below.
        for (const SceneWindow& w : {kPlayer, kSettingsSystem.Closing(), kNotes.Closing(),
                                     kNavigationBar.Closing(), kCalculator, kToday})
            host::AddWindow(w);
        // Press again and again, each time on whatever is on top, until
        // every kind of window has had its turn or nothing is left.
        for (int round = 0; round < 6 && !host::ZOrder().empty(); round++) {
            host::SetForeground(host::ZOrder().front());
            EXPECT_EQ(0, AllocationsDuring([&] { RunCloseCommand(commandLine); }))
                << host::Narrow(commandLine) << " round " << round;
        }
    }
}

TEST(Heap, LoadingAndRegisteringAllocateNothing)
{
    host::Reset();
    for (int i = 0; i < 12; i++)
        host::SetStringValue(kKeys + u"\\Key" + char16_t(u'A' + i), u"Name", Text(300, u'n'));
    host::SetModulePath(u"\\Windows\\KeyAssigner.exe");
    EXPECT_EQ(0, AllocationsDuring([] { LoadButtonKeys(); }));
    EXPECT_EQ(0, AllocationsDuring([] { RegisterButton(NULL, 3); }));
    EXPECT_EQ(0, AllocationsDuring([] { RegisterButton(NULL, -1); }));
    EXPECT_TRUE(host::GetValue(kKeys + u"\\KeyD", u"Default").exists);
}

TEST(Heap, DialogAllocatesNothingWhileHandlingItsMessages)
{
    host::Reset();
    host::AddDialogResource(IDD_ASSIGN, {{IDOK, host::kPushButton},
                                         {IDCANCEL, host::kPushButton},
                                         {IDC_OPTION_NONE, host::kRadioButton, true},
                                         {IDC_OPTION_N, host::kRadioButton},
                                         {IDC_OPTION_NS, host::kRadioButton},
                                         {IDC_BUTTON_LIST, host::kComboBox}});
    host::SetStringValue(kKeys + u"\\40C1", u"Name", u"Button");
    host::SetModulePath(u"\\Windows\\KeyAssigner.exe");
    host::SetDialogScript([](HWND d) {
        host::Click(d, IDC_OPTION_NS);
        host::Click(d, IDC_OPTION_N);
        host::Click(d, IDOK);
    });
    HRSRC resource =
        FindResourceW(host::ProgramInstance(), MAKEINTRESOURCE(IDD_ASSIGN), RT_DIALOG);
    LPCDLGTEMPLATEW dialogTemplate =
        (LPCDLGTEMPLATEW)LoadResource(host::ProgramInstance(), resource);
    EXPECT_EQ(0, AllocationsDuring([&] {
        DialogBoxIndirectParamW(host::ProgramInstance(), dialogTemplate, NULL, AssignDialog, 0);
    }));
    EXPECT_EQ(4u, host::DialogProcResults().size());
    EXPECT_TRUE(host::GetValue(kKeys + u"\\40C1", u"Default").exists);
}

}  // namespace
