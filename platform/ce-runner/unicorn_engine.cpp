// unicorn_engine.cpp: the engine for the CPUs Unicorn models (ARM, MIPS).
// Its hooks only note what they see and stop the emulator: a trap, an
// instruction the device CPU lacks, a misaligned access, a bad one; the run
// then reports it. On MIPS the stub's jump to a trap has its delay slot
// inside the program, so the trap word itself is the first thing the hook
// sees there.
#include <unicorn/unicorn.h>

#include <vector>

#include "cpu.h"

namespace ce {
namespace {

// A guest that runs this long without returning is stuck in a loop.
const uint64_t kInstructionLimit = 200000000;

class UnicornEngine : public Engine {
public:
    explicit UnicornEngine(const Cpu& cpu) : cpu_(cpu) {}
    ~UnicornEngine() override
    {
        for (uc_context* c : saved_)
            uc_context_free(c);
        if (uc_ != NULL)
            uc_close(uc_);
    }
    UnicornEngine(const UnicornEngine&) = delete;
    UnicornEngine& operator=(const UnicornEngine&) = delete;

    bool Start(int arch, int mode, int model, std::string* why)
    {
        // The CPU model is chosen before anything else is set up.
        if (uc_open((uc_arch)arch, (uc_mode)mode, &uc_) != UC_ERR_OK) {
            *why = std::string("cannot start the emulator for the ") + cpu_.name;
            return false;
        }
        if (uc_ctl_set_cpu_model(uc_, model) != UC_ERR_OK) {
            *why = std::string("the emulator has no model for the ") + cpu_.name;
            return false;
        }
        uc_hook hook;
        uc_hook_add(uc_, &hook, UC_HOOK_CODE, (void*)OnInstruction, this, 1, 0);
        uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, (void*)OnBadAccess, this, 1, 0);
        uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, (void*)OnAccess, this, 1, 0);
        return true;
    }

    // The engine's kRead, kWrite and kFetch are Unicorn's UC_PROT_READ,
    // UC_PROT_WRITE and UC_PROT_EXEC.
    bool Map(uint32_t address, uint32_t size, int protection) override
    {
        return uc_mem_map(uc_, address, size, (uint32_t)protection) == UC_ERR_OK;
    }
    bool Protect(uint32_t address, uint32_t size, int protection) override
    {
        return uc_mem_protect(uc_, address, size, (uint32_t)protection) == UC_ERR_OK;
    }
    bool Read(uint32_t address, void* data, uint32_t size) override
    {
        return uc_mem_read(uc_, address, data, size) == UC_ERR_OK;
    }
    bool Write(uint32_t address, const void* data, uint32_t size) override
    {
        return uc_mem_write(uc_, address, data, size) == UC_ERR_OK;
    }
    uint32_t Reg(int reg) override
    {
        uint32_t v = 0;
        uc_reg_read(uc_, reg, &v);
        return v;
    }
    void SetReg(int reg, uint32_t value) override { uc_reg_write(uc_, reg, &value); }
    void SaveRegisters() override
    {
        uc_context* c = NULL;
        uc_context_alloc(uc_, &c);
        uc_context_save(uc_, c);
        saved_.push_back(c);
    }
    void RestoreRegisters() override
    {
        uc_context_restore(uc_, saved_.back());
        uc_context_free(saved_.back());
        saved_.pop_back();
    }
    // Every address from the lowest trap to the highest stops a run, so
    // that a stray jump between two traps stops there too.
    bool SetTrap(uint32_t address) override
    {
        trapLow_ = std::min(trapLow_, address);
        trapHigh_ = std::max(trapHigh_, address);
        return true;
    }
    int64_t Instructions() const override { return (int64_t)instructions_; }

    Stop Run(uint32_t pc, const Grow& grow) override
    {
        grow_ = &grow;
        stopped_ = false;
        // Reaching address 0, where nothing is ever mapped, ends the run too.
        const uc_err err = uc_emu_start(uc_, pc, 0, 0, 0);
        grow_ = NULL;
        if (stopped_)
            return stop_;
        Stop stop;
        stop.pc = Reg(cpu_.pc);
        if (err == UC_ERR_INSN_INVALID) {
            stop.kind = Stop::kRejected;
        } else if (err != UC_ERR_OK) {
            stop.why = std::string("emulation stopped: ") + uc_strerror(err);
        } else {
            stop.kind = Stop::kAccess;
            stop.access = kFetch;
            stop.why = "jump to unmapped memory";
        }
        return stop;
    }

private:
    // A fault of the instruction being run, on an access it makes.
    Stop Fault(Stop::Kind kind, uint64_t address, int size)
    {
        Stop stop;
        stop.kind = kind;
        stop.pc = Reg(cpu_.pc);
        stop.size = (uint32_t)size;
        stop.address = (uint32_t)address;
        stop.addressKnown = true;
        return stop;
    }
    // The first thing a hook saw ends the run.
    void Record(const Stop& stop)
    {
        if (stopped_)
            return;
        stop_ = stop;
        stopped_ = true;
        uc_emu_stop(uc_);
    }

    static void OnInstruction(uc_engine* uc, uint64_t address, uint32_t size, void* data)
    {
        UnicornEngine* e = (UnicornEngine*)data;
        Stop stop;
        stop.pc = (uint32_t)address;
        if (address >= e->trapLow_ && address <= e->trapHigh_) {
            stop.kind = Stop::kTrap;
            return e->Record(stop);
        }
        uint32_t word = 0;
        const char* refused = NULL;
        if (e->cpu_.refusal != NULL && size == 4 && uc_mem_read(uc, address, &word, 4) == UC_ERR_OK &&
            (refused = e->cpu_.refusal(word)) != NULL) {
            stop.kind = Stop::kRefused;
            stop.why = refused;
            return e->Record(stop);
        }
        if (++e->instructions_ > kInstructionLimit && !e->overLimit_) {
            e->overLimit_ = true;
            stop.kind = Stop::kStuck;
            stop.why = std::to_string(kInstructionLimit) + " instructions";
            e->Record(stop);
        }
    }

    // An access to unmapped memory may be the stack growing into its guard
    // page, which the core commits; any other ends the run.
    static bool OnBadAccess(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t,
                            void* data)
    {
        UnicornEngine* e = (UnicornEngine*)data;
        if ((type == UC_MEM_READ_UNMAPPED || type == UC_MEM_WRITE_UNMAPPED) && e->grow_ != NULL &&
            (*e->grow_)((uint32_t)address))
            return true;
        Stop stop = e->Fault(Stop::kAccess, address, size);
        switch (type) {
        case UC_MEM_READ_UNMAPPED: stop.access = kRead, stop.why = "read of unmapped memory"; break;
        case UC_MEM_WRITE_UNMAPPED: stop.access = kWrite, stop.why = "write to unmapped memory"; break;
        case UC_MEM_FETCH_UNMAPPED: stop.access = kFetch, stop.why = "jump to unmapped memory"; break;
        case UC_MEM_WRITE_PROT: stop.access = kWrite, stop.why = "write to read-only memory"; break;
        case UC_MEM_READ_PROT: stop.access = kRead, stop.why = "read of unreadable memory"; break;
        case UC_MEM_FETCH_PROT: stop.access = kFetch, stop.why = "jump into memory that is not code"; break;
        default: stop.why = "bad memory access"; break;
        }
        e->Record(stop);
        return false;
    }

    // ARM, MIPS and SH CE devices fault on a halfword or word access that is
    // not aligned to its size and end the program; Unicorn's ARM models just
    // do it. Its MIPS model raises an address error, but this hook sees the
    // access first and names it.
    static void OnAccess(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* data)
    {
        UnicornEngine* e = (UnicornEngine*)data;
        if (size <= 1 || (address & (uint64_t)(size - 1)) == 0)
            return;
        Stop stop = e->Fault(Stop::kMisaligned, address, size);
        stop.access = type == UC_MEM_WRITE ? kWrite : kRead;
        e->Record(stop);
    }

    const Cpu& cpu_;
    uc_engine* uc_ = NULL;
    std::vector<uc_context*> saved_;
    uint32_t trapLow_ = 0xFFFFFFFFu, trapHigh_ = 0;
    uint64_t instructions_ = 0;
    bool overLimit_ = false;
    const Grow* grow_ = NULL;
    bool stopped_ = false;
    Stop stop_;
};

}  // namespace

std::unique_ptr<Engine> StartUnicorn(const Cpu& cpu, int arch, int mode, int model, std::string* why)
{
    std::unique_ptr<UnicornEngine> engine(new UnicornEngine(cpu));
    if (!engine->Start(arch, mode, model, why))
        return nullptr;
    return engine;
}

}  // namespace ce
