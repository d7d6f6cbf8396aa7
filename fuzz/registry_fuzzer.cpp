// registry_fuzzer.cpp: any button key list, module path, list selection and
// option; load the table and register. Checks on every input: the display
// names stay inside their fields; the command is written only when the row exists
// and the whole command fits, and then holds exactly the expected command;
// nothing else in the registry changes; success is reported exactly when the
// value was written; every key opened is closed.
#include <stdio.h>
#include <stdlib.h>

#include <set>

#include "button_keys.h"
#include "fuzz_text.h"
#include "standin.h"

namespace {

using standin::Text;

const Text kKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys";
const Text kCloser = u"ForegroundDismisser.exe\"";
const std::vector<Text> kOptions = {u"", u" /n", u" /ns"};
const std::vector<Text> kPaths = {
    u"\\Windows\\KeyAssigner.exe", u"\\KeyAssigner.exe", u"KeyAssigner.exe", u"",
    u"\\Program Files\\Tools\\Assign.exe",
};

[[noreturn]] void Fail(const char* what)
{
    fprintf(stderr, "invariant broken: %s\n%s%s", what, standin::Describe(standin::Trace()).c_str(),
            standin::DumpRegistry().c_str());
    abort();
}

Text Upper(Text text)
{
    for (auto& c : text)
        if (c >= u'a' && c <= u'z')
            c = (char16_t)(c - u'a' + u'A');
    return text;
}

// The command the tool should store, or empty when it must store nothing.
Text ExpectedCommand(const Text& modulePath, const Text& option)
{
    if (modulePath.size() >= 260)
        return Text();
    const size_t slash = modulePath.rfind(u'\\');
    if (slash == Text::npos)
        return Text();
    Text command = u"\"" + modulePath.substr(0, slash + 1) + kCloser + option;
    return command.size() + 1 <= 260 ? command : Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    standin::Reset();

    std::vector<Text> keys;  // in creation (= enumeration) order
    std::set<Text> seen;
    const bool keyList = in.ConsumeIntegralInRange<int>(0, 15) != 0;
    const int count = keyList ? in.ConsumeIntegralInRange<int>(0, 20) : 0;
    if (keyList)
        standin::AddKey(kKeys);
    for (int i = 0; i < count; i++) {
        Text name = in.ConsumeBool() ? Text(u"40C") + (char16_t)(u'0' + i)
                                     : ArbitraryText(in, 255);
        // Key names hold no backslash and are unique without regard to case.
        Text clean;
        for (char16_t c : name)
            if (c != u'\\')
                clean += c;
        if (clean.empty() || !seen.insert(Upper(clean)).second)
            continue;
        keys.push_back(clean);
        const Text path = kKeys + u"\\" + clean;
        standin::AddKey(path);
        if (in.ConsumeIntegralInRange<int>(0, 4) != 0) {
            const DWORD type = in.ConsumeIntegralInRange<DWORD>(0, 11);
            size_t length = in.ConsumeIntegralInRange<size_t>(0, 700);
            if (in.ConsumeIntegralInRange<int>(0, 15) == 0)
                length = 5000;
            std::vector<BYTE> bytes = in.ConsumeBytes<BYTE>(length);
            standin::SetValue(path, u"Name", type, bytes);
        }
        if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
            standin::SetStringValue(path, u"Default", u"\"\\Windows\\old.exe\"");
            standin::SetStringValue(path, u"", u"\"\\Windows\\old.exe\"");
        }
    }
    const bool failKeys = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    if (failKeys)
        standin::FailOpen(kKeys);
    Text failingKey;
    if (!keys.empty() && in.ConsumeIntegralInRange<int>(0, 7) == 0) {
        failingKey = keys[in.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
        standin::FailOpen(kKeys + u"\\" + failingKey);
    }
    const bool failSet = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    standin::FailSetValue(failSet);

    Text modulePath;
    if (in.ConsumeBool()) {
        modulePath = kPaths[in.ConsumeIntegralInRange<size_t>(0, kPaths.size() - 1)];
    } else {
        const size_t length = in.ConsumeIntegralInRange<size_t>(0, 300);
        for (size_t i = 0; i < length; i++)
            modulePath += in.ConsumeIntegralInRange<int>(0, 9) == 0 ? u'\\' : (char16_t)(u'a' + i % 26);
    }
    standin::SetModulePath(modulePath);
    const Text option = kOptions[in.ConsumeIntegralInRange<size_t>(0, 2)];
    int selection = in.ConsumeIntegralInRange<int>(-2, 24);
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0)
        selection = in.ConsumeIntegral<int>();

    const std::string before = standin::DumpRegistry();
    const int rows = LoadButtonKeys();

    const int expectedRows = (keyList && !failKeys) ? (int)std::min<size_t>(10, keys.size()) : 0;
    if (rows != expectedRows)
        Fail("the table holds the first ten buttons");
    for (int i = 0; i < kButtonKeyRows; i++) {
        const ButtonKeyEntry& row = ButtonKeyTable[i];
        bool keyEnds = false, nameEnds = false;
        for (int c = 0; c < kNameChars; c++) {
            keyEnds = keyEnds || row.keyName[c] == 0;
            nameEnds = nameEnds || row.displayName[c] == 0;
        }
        if (!keyEnds || !nameEnds)
            Fail("names are terminated inside their fields");
        if (i < rows && Text(row.keyName) != keys[i])
            Fail("rows follow the registry's order");
        if (i >= rows && (row.keyName[0] != 0 || row.displayName[0] != 0))
            Fail("rows past the loaded ones are empty");
    }

    // The row must be loaded, the whole command and key path must fit, and
    // the registry must let the value be written.
    const Text command = ExpectedCommand(modulePath, option);
    Text keyPath;
    bool shouldWrite = selection >= 0 && selection < rows && !command.empty() && !failSet;
    if (shouldWrite) {
        keyPath = kKeys + u"\\" + keys[selection];
        shouldWrite = keyPath.size() + 1 <= 260 && keys[selection] != failingKey;
    }
    const char16_t* const kWritten[] = {u"Default", u""};  // in this order
    standin::RegistryValue old[2];
    for (int w = 0; shouldWrite && w < 2; w++)
        old[w] = standin::GetValue(keyPath, kWritten[w]);

    wcscpy(LaunchOptions, option.c_str());
    standin::ClearTrace();
    RegisterButton((HWND)0x1234, selection);

    std::vector<standin::TraceEntry> writes = standin::TraceOf({standin::kRegSetValue});
    std::vector<standin::TraceEntry> beeps = standin::TraceOf({standin::kBeep});
    std::vector<standin::TraceEntry> boxes = standin::TraceOf({standin::kMessageBox});
    if (boxes.size() != 1)
        Fail("exactly one message box");
    const bool written = writes.size() == 2;
    const bool reportedSuccess = boxes[0].a == MB_OK && beeps.size() == 1;
    if ((writes.size() != 0 && writes.size() != 2) || reportedSuccess != written)
        Fail("success is reported exactly when both values were written");
    if (written != shouldWrite)
        Fail("the command is written exactly for a loaded row and a command that fits");
    for (size_t w = 0; w < writes.size() && w < 2; w++)
        if (writes[w].text1 != keyPath || writes[w].text2 != kWritten[w] ||
            writes[w].a != REG_SZ || writes[w].bytes != standin::StringBytes(command))
            Fail("Default, then the unnamed value, hold exactly the expected command");
    if (standin::OpenKeyCount() != 0)
        Fail("every key opened is closed");

    // Undo the one expected change; what is left must be the registry as it was.
    for (int w = 0; written && w < 2; w++) {
        if (old[w].exists)
            standin::SetValue(keyPath, kWritten[w], old[w].type, old[w].bytes);
        else
            standin::DeleteValue(keyPath, kWritten[w]);
    }
    if (standin::DumpRegistry() != before)
        Fail("nothing but the button's two command values change");
    return 0;
}
