// ce_runner.cpp: the runner tests and tools drive: a program loaded, then
// run from its entry point or called function by function.
#include "ce_runner.h"

#include "cpu.h"
#include "engine.h"
#include "guest_layout.h"
#include "machine.h"
#include "pe_image.h"
#include "standin.h"

namespace ce {

Runner::Runner() = default;
Runner::~Runner() = default;

bool Runner::Fail(const std::string& why)
{
    error_ = why;
    return false;
}

const std::string& Runner::Error() const
{
    return error_;
}

uint64_t Runner::Instructions() const
{
    return CountsInstructions() ? (uint64_t)machine_->Loaded().engine->Instructions() : 0;
}

bool Runner::CountsInstructions() const
{
    return machine_ && machine_->Loaded().engine->Instructions() >= 0;
}

const char* Runner::InstructionSet() const
{
    return machine_ ? machine_->Loaded().cpu->instructionSet : "";
}

void Runner::SetCallLog(std::function<void(const std::string&)> log)
{
    log_ = log;
    if (machine_)
        machine_->SetCallLog(log);
}

bool Runner::Load(const std::string& exePath)
{
    machine_.reset();
    error_.clear();
    Program program;
    std::string why;
    if (!LoadProgram(exePath, &program, &why))
        return Fail(why);
    const PeImage& im = *program.image;
    const bool newer = im.subsystemMajor > 4 || (im.subsystemMajor == 4 && im.subsystemMinor > 20);
    std::unique_ptr<Machine> machine(new Machine(std::move(program)));
    if (!machine->Start())
        return Fail(machine->Error());
    machine->SetCallLog(log_);
    // The system decides once, from the image, whether the program sees
    // the screen through the legacy layer.
    try {
        standin::SetLegacyProgram(!newer && !machine->Resources().HasHiResAware());
    } catch (const GuestFault& fault) {
        return Fail(exePath + ": " + fault.what);
    }
    machine_ = std::move(machine);
    return true;
}

bool Runner::RunProgram(const char16_t* commandLine, int* status)
{
    if (!machine_)
        return Fail("no program loaded");
    error_.clear();
    uint32_t line = 0;
    try {
        line = commandLine == NULL ? 0 : machine_->WriteScratchText(commandLine);
    } catch (const GuestFault& fault) {
        return Fail(fault.what);
    }
    const uint32_t showWindow = 5;  // SW_SHOW
    const PeImage& im = *machine_->Loaded().image;
    uint32_t result = 0;
    if (!machine_->Call(im.imageBase + im.entryRva, {im.imageBase, 0, line, showWindow}, &result))
        return Fail(machine_->Error());
    *status = (int)result;
    return true;
}

bool Runner::CallFunction(const std::string& name, const std::vector<uint32_t>& args, uint32_t* result)
{
    if (!machine_)
        return Fail("no program loaded");
    error_.clear();
    const auto& symbols = machine_->Loaded().symbols;
    auto it = symbols.find(name);
    if (it == symbols.end())
        return Fail("the program has no function " + name);
    return machine_->Call(it->second, args, result) || Fail(machine_->Error());
}

bool Runner::WriteText(const std::string& symbol, const std::u16string& text)
{
    if (!machine_)
        return Fail("no program loaded");
    const auto& symbols = machine_->Loaded().symbols;
    auto it = symbols.find(symbol);
    if (it == symbols.end())
        return Fail("the program has no global " + symbol);
    std::u16string copy = text + u'\0';
    try {
        machine_->WriteBytes(it->second, copy.data(), (uint32_t)copy.size() * 2);
        return true;
    } catch (const GuestFault& fault) {
        return Fail(fault.what);
    }
}

}  // namespace ce
