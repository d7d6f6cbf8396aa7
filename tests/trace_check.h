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

#endif
