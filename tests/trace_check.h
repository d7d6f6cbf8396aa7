// trace_check.h: what the host tables hold a run to: a row's expected
// effects, foreground and Z order against the stand-in's (the one matcher,
// scenario.h), and the arguments the program gave its calls.
#ifndef TRACE_CHECK_H
#define TRACE_CHECK_H

#include <gtest/gtest.h>

#include <vector>

#include "standin.h"

// A matcher's report: empty when it matched, else the failure to print.
inline ::testing::AssertionResult Agrees(const std::string& report)
{
    if (report.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\n" << report;
}

// The row's effects (the stand-in records keys without a window), and its
// foreground and Z order after, where it gives them.
inline ::testing::AssertionResult Holds(const scene::Scenario& s, const std::vector<HWND>& w)
{
    scene::Steps expected = s.steps;
    for (scene::Step& step : expected) {
        if (step.kind == scene::kKeyEvent)
            step.window = scene::kNoWindow;
    }
    const std::vector<std::string> names = s.Names();
    std::string report = scene::Match(expected, standin::Recorded(w), names);
    if (s.frontAfter != scene::kUnchecked)
        report += scene::MatchOrder("foreground", {s.frontAfter}, {standin::IndexOf(standin::Foreground(), w)}, names);
    if (!s.zAfter.empty()) {
        std::vector<int> z;
        for (HWND window : standin::ZOrder())
            z.push_back(standin::IndexOf(window, w));
        report += scene::MatchOrder("Z order", s.zAfter, z, names);
    }
    return Agrees(report);
}

// Stands for an argument a check leaves alone (a handle the stand-in made).
const uintptr_t kAnyArg = ~(uintptr_t)0;

inline std::string DescribeCall(const standin::Call& call)
{
    std::string out = call.name + "(";
    for (size_t i = 0; i < call.args.size(); i++)
        out += (i > 0 ? ", " : "") + std::to_string((intptr_t)call.args[i]);
    out += ")";
    if (!call.text.empty())
        out += " \"" + standin::Narrow(call.text) + "\"";
    return out;
}

inline bool CallMatches(const standin::Call& call, const std::vector<uintptr_t>& args)
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
    const std::vector<standin::Call> calls = standin::CallsOf(name);
    if (calls.empty())
        return ::testing::AssertionFailure() << "no " << name << " call";
    for (const standin::Call& call : calls) {
        if (!CallMatches(call, args))
            return ::testing::AssertionFailure() << DescribeCall(call);
    }
    return ::testing::AssertionSuccess();
}

#endif
