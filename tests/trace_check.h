// trace_check.h: compares the stand-in's trace with an expected table, walking
// both in order, with both lists printed on a mismatch.
#ifndef TRACE_CHECK_H
#define TRACE_CHECK_H

#include <gtest/gtest.h>

#include <vector>

#include "host_scene.h"

const int kNoWindow = -1;

// One expected effect. `window` names a window of the test's scene by its
// index; kNoWindow stands for the null handle.
struct Expected {
    host::TraceKind kind;
    int window = kNoWindow;
    uintptr_t a = 0;
    uintptr_t b = 0;
    intptr_t c = 0;
};

inline std::string DescribeExpected(const Expected* table, const std::vector<HWND>& names)
{
    std::vector<host::TraceEntry> entries;
    for (const Expected* e = table; e->kind != host::kEnd; e++) {
        host::TraceEntry entry;
        entry.kind = e->kind;
        entry.window = e->window == kNoWindow ? NULL : names.at(e->window);
        entry.a = e->a;
        entry.b = e->b;
        entry.c = e->c;
        entries.push_back(entry);
    }
    return host::Describe(entries);
}

// Checks kind, window and the three numbers of each entry; text and bytes
// are checked by the tests that care about them.
inline ::testing::AssertionResult TraceMatches(const Expected* table,
                                               const std::vector<HWND>& names,
                                               const std::vector<host::TraceEntry>& actual)
{
    size_t i = 0;
    const Expected* e = table;
    for (; e->kind != host::kEnd && i < actual.size(); e++, i++) {
        const host::TraceEntry& a = actual[i];
        HWND window = e->window == kNoWindow ? NULL : names.at(e->window);
        if (a.kind != e->kind || a.window != window || a.a != e->a || a.b != e->b || a.c != e->c)
            break;
    }
    if (e->kind == host::kEnd && i == actual.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "traces differ at entry " << i << "\nexpected:\n"
           << DescribeExpected(table, names) << "actual:\n"
           << host::Describe(actual);
}

// Stands for an argument a check leaves alone (a handle the stand-in made).
const uintptr_t kAnyArg = ~(uintptr_t)0;

inline std::string DescribeCall(const host::Call& call)
{
    std::string out = call.name + "(";
    for (size_t i = 0; i < call.args.size(); i++)
        out += (i > 0 ? ", " : "") + std::to_string((intptr_t)call.args[i]);
    out += ")";
    if (!call.text.empty())
        out += " \"" + host::Narrow(call.text) + "\"";
    return out;
}

inline bool CallMatches(const host::Call& call, const std::vector<uintptr_t>& args)
{
    if (call.args.size() != args.size())
        return false;
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] != kAnyArg && args[i] != call.args[i])
            return false;
    }
    return true;
}

// The program made the call at least once, and every time with these
// arguments (kAnyArg where any value will do).
inline ::testing::AssertionResult EveryCallCarries(const char* name,
                                                   const std::vector<uintptr_t>& args)
{
    const std::vector<host::Call> calls = host::CallsOf(name);
    if (calls.empty())
        return ::testing::AssertionFailure() << "no " << name << " call";
    for (const host::Call& call : calls) {
        if (!CallMatches(call, args))
            return ::testing::AssertionFailure() << DescribeCall(call);
    }
    return ::testing::AssertionSuccess();
}

#endif
