// heap_test.cpp: the programs allocate nothing on the heap: every allocation
// made while program code runs (not the stand-in's own) is counted and must
// stay at zero through a press, a table load, a registration and a dialog.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <new>

#include "assign_dialog.h"
#include "button_keys.h"
#include "close_command.h"
#include "device_report.h"
#include "standin.h"
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
    if (watching && standin::InProgramCode())
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

using standin::Text;

const Text kKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys";

// The counter itself must see an allocation made by program code, or a zero
// below would prove nothing.
TEST(Heap, CounterSeesProgramAllocations)
{
    standin::Reset();
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
        standin::Reset();
        // The shell's windows close when asked here, so that the presses
        // get past them to the windows below.
        for (const SceneWindow& w : {kPlayer, kSettingsSystem.Closing(), kNotes.Closing(),
                                     kNavigationBar.Closing(), kCalculator, kToday})
            standin::AddWindow(w);
        // Press again and again, each time on whatever is on top, until
        // every kind of window has had its turn or nothing is left.
        for (int round = 0; round < 6 && !standin::ZOrder().empty(); round++) {
            standin::SetForeground(standin::ZOrder().front());
            EXPECT_EQ(0, AllocationsDuring([&] { RunCloseCommand(commandLine); }))
                << standin::Narrow(commandLine) << " round " << round;
        }
    }
}

TEST(Heap, LoadingAndRegisteringAllocateNothing)
{
    standin::Reset();
    for (int i = 0; i < 12; i++)
        standin::SetStringValue(kKeys + u"\\Key" + char16_t(u'A' + i), u"Name", Text(300, u'n'));
    standin::SetModulePath(u"\\Windows\\KeyAssigner.exe");
    EXPECT_EQ(0, AllocationsDuring([] { LoadButtonKeys(); }));
    EXPECT_EQ(0, AllocationsDuring([] { RegisterButton(NULL, 3); }));
    EXPECT_EQ(0, AllocationsDuring([] { RegisterButton(NULL, -1); }));
    EXPECT_TRUE(standin::GetValue(kKeys + u"\\KeyD", u"Default").exists);
}

TEST(Heap, DialogAllocatesNothingWhileHandlingItsMessages)
{
    standin::Reset();
    standin::AddDialogResource(IDD_ASSIGN, {{IDOK, standin::kPushButton},
                                         {IDCANCEL, standin::kPushButton},
                                         {IDC_OPTION_NONE, standin::kRadioButton, true},
                                         {IDC_OPTION_N, standin::kRadioButton},
                                         {IDC_OPTION_NS, standin::kRadioButton},
                                         {IDC_BUTTON_LIST, standin::kComboBox}});
    standin::SetStringValue(kKeys + u"\\40C1", u"Name", u"Button");
    standin::SetModulePath(u"\\Windows\\KeyAssigner.exe");
    standin::SetDialogScript([](HWND d) {
        standin::Click(d, IDC_OPTION_NS);
        standin::Click(d, IDC_OPTION_N);
        standin::Click(d, IDOK);
    });
    HRSRC resource =
        FindResourceW(standin::ProgramInstance(), MAKEINTRESOURCE(IDD_ASSIGN), RT_DIALOG);
    LPCDLGTEMPLATEW dialogTemplate =
        (LPCDLGTEMPLATEW)LoadResource(standin::ProgramInstance(), resource);
    EXPECT_EQ(0, AllocationsDuring([&] {
        DialogBoxIndirectParamW(standin::ProgramInstance(), dialogTemplate, NULL, AssignDialog, 0);
    }));
    EXPECT_EQ(4u, standin::DialogProcResults().size());
    EXPECT_TRUE(standin::GetValue(kKeys + u"\\40C1", u"Default").exists);
}

TEST(Heap, ReportAllocatesNothing)
{
    standin::Reset();
    for (const SceneWindow& w : {kNavigationBar, kCalculator.WithChild(u"1"), kSettingsSystem, kToday})
        standin::AddWindow(w);
    standin::SetStringValue(kKeys + u"\\40C1", u"", u"\\Windows\\calc.exe");
    standin::SetModulePath(u"\\Windows\\DeviceReport.exe");
    int status = -1;
    EXPECT_EQ(0, AllocationsDuring([&] { status = RunDeviceReport(u"0"); }));
    EXPECT_EQ(0, status);
    EXPECT_TRUE(standin::FileExists(u"\\Windows\\DeviceReport.txt"));
}

}  // namespace
