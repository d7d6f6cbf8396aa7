// qemu_sh_engine.cpp: the SH engine. Unicorn has no SuperH, so the
// program's code runs on qemu's SH-4 model in user mode: qemu-sh4 starts a
// loader of a few instructions (sh_loader.S) and waits for a debugger, and
// this engine is that debugger, over qemu's GDB remote protocol. It maps
// memory through the loader's system call, plants breakpoints as traps and
// runs until one is reached or the CPU faults. qemu's SH model faults on a
// misaligned access, as the SH-3 does; the stub reports each fault by its
// signal and pc alone, so the engine decodes the address the instruction
// used to let the stack grow.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "cpu.h"

namespace ce {
namespace {

// qemu's SH-4 register file as its stub sends it: r0-r15, pc, pr, gbr,
// vbr, mach, macl, sr, fpul, fpscr, fr0-fr15, ssr, spc, two banks of r0-r7.
const size_t kRegisterCount = 59;
// The stub takes packets of up to 4 KiB; memory goes in pieces well below.
const uint32_t kChunk = 1024;
// A guest that runs this long without reaching a trap is stuck in a loop.
const int kRunLimitMs = 30000;

const uint32_t kSysMmap2 = 192;
const uint32_t kSysMprotect = 125;
const uint32_t kSysPrctl = 172;
const uint32_t kPrSetUnalign = 6, kPrUnalignSigbus = 2;
const uint32_t kMapPrivateAnonymousFixed = 0x02 | 0x20 | 0x10;

const char kHex[] = "0123456789abcdef";

std::string HexBytes(const void* data, size_t size)
{
    const uint8_t* p = (const uint8_t*)data;
    std::string out;
    out.reserve(2 * size);
    for (size_t i = 0; i < size; i++) {
        out += kHex[p[i] >> 4];
        out += kHex[p[i] & 15];
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool FromHex(const std::string& text, size_t at, size_t bytes, uint8_t* out)
{
    if (text.size() < at + 2 * bytes)
        return false;
    for (size_t i = 0; i < bytes; i++) {
        const int high = HexDigit(text[at + 2 * i]), low = HexDigit(text[at + 2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        out[i] = (uint8_t)(high << 4 | low);
    }
    return true;
}

std::string Number(uint32_t v)
{
    char text[16];
    snprintf(text, sizeof(text), "%x", v);
    return text;
}

int64_t NowMs()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

class ShEngine : public Engine {
public:
    explicit ShEngine(const Cpu& cpu) : cpu_(cpu) {}
    ~ShEngine() override;
    ShEngine(const ShEngine&) = delete;
    ShEngine& operator=(const ShEngine&) = delete;

    // Starts qemu on the loader and attaches; false with *why on failure.
    bool Start(const std::string& qemu, const std::string& loader, std::string* why);

    bool Map(uint32_t address, uint32_t size, int protection) override;
    bool Protect(uint32_t address, uint32_t size, int protection) override;
    bool Read(uint32_t address, void* data, uint32_t size) override;
    bool Write(uint32_t address, const void* data, uint32_t size) override;
    uint32_t Reg(int reg) override { return regs_[reg]; }
    void SetReg(int reg, uint32_t value) override { regs_[reg] = value; }
    void SaveRegisters() override { saved_.push_back(regs_); }
    void RestoreRegisters() override
    {
        regs_ = saved_.back();
        saved_.pop_back();
    }
    bool SetTrap(uint32_t address) override;
    Stop Run(uint32_t pc, const Grow& grow) override;
    int64_t Instructions() const override { return -1; }  // qemu counts nothing it tells

private:
    // How a continue from pc ended, as the stub tells it: a SIGSEGV is a
    // kAccess as yet unexamined.
    Stop Continue(uint32_t pc, int timeoutMs);
    // The data address of the instruction at pc, or of the one in its delay
    // slot (*at, where the CPU reports the fault at the branch); false for
    // an instruction that does not address memory through a register.
    bool DataAddress(uint32_t* at, uint32_t* address);
    bool Send(const std::string& packet);
    bool Receive(std::string* reply, int timeoutMs);
    bool Transact(const std::string& packet, std::string* reply, int timeoutMs = 10000);
    bool ReadRegisters();
    bool WriteRegisters();
    bool Syscall(uint32_t number, const std::vector<uint32_t>& args, uint32_t* result);
    // What qemu wrote on its way out, once it has ended.
    std::string Diagnostics();

    const Cpu& cpu_;
    pid_t qemu_ = -1;
    int socket_ = -1;
    int errors_ = -1;  // qemu's standard error
    bool lost_ = false;
    std::string socketPath_;
    std::string pending_;
    uint32_t entry_ = 0;  // the loader's system call; entry_ + 2 is its breakpoint
    std::vector<uint32_t> regs_;
    std::vector<std::vector<uint32_t>> saved_;
};

// The data address an SH-3 instruction reads or writes through a register,
// as the CPU forms it before the access; false for any other instruction.
bool ShDataAddress(uint16_t op, const std::vector<uint32_t>& reg, uint32_t* address)
{
    const int n = (op >> 8) & 15, m = (op >> 4) & 15, low = op & 15;
    const uint32_t rn = reg[n], rm = reg[m], r0 = reg[0];
    static const uint32_t kSize[] = {1, 2, 4};
    switch (op >> 12) {
    case 0x0:  // mov.x Rm,@(R0,Rn) and mov.x @(R0,Rm),Rn
        if (low >= 4 && low <= 6)
            return *address = r0 + rn, true;
        if (low >= 12 && low <= 14)
            return *address = r0 + rm, true;
        return false;
    case 0x1:  // mov.l Rm,@(disp,Rn)
        return *address = rn + 4 * (uint32_t)low, true;
    case 0x2:  // mov.x Rm,@Rn and mov.x Rm,@-Rn
        if (low <= 2)
            return *address = rn, true;
        if (low >= 4 && low <= 6)
            return *address = rn - kSize[low - 4], true;
        return false;
    case 0x4:  // sts.l/stc.l x,@-Rn and lds.l/ldc.l @Rm+,x
        if (low == 2 || low == 3)
            return *address = rn - 4, true;
        if (low == 6 || low == 7)
            return *address = rn, true;
        return false;
    case 0x5:  // mov.l @(disp,Rm),Rn
        return *address = rm + 4 * (uint32_t)low, true;
    case 0x6:  // mov.x @Rm,Rn and mov.x @Rm+,Rn
        if (low <= 2 || (low >= 4 && low <= 6))
            return *address = rm, true;
        return false;
    case 0x8:  // mov.b/w R0,@(disp,Rn) and mov.b/w @(disp,Rm),R0
        switch (n) {
        case 0: return *address = rm + low, true;
        case 1: return *address = rm + 2 * (uint32_t)low, true;
        case 4: return *address = rm + low, true;
        case 5: return *address = rm + 2 * (uint32_t)low, true;
        }
        return false;
    }
    return false;
}

// Branches whose next instruction runs in their delay slot, where a fault
// is reported at the branch.
bool ShDelayedBranch(uint16_t op)
{
    const uint16_t top = op & 0xF000, low = op & 0xF0FF;
    return top == 0xA000 || top == 0xB000 || (op & 0xFF00) == 0x8D00 || (op & 0xFF00) == 0x8F00 ||
           op == 0x000B || op == 0x002B || low == 0x0003 || low == 0x0023 || low == 0x400B ||
           low == 0x402B;
}

}  // namespace

std::unique_ptr<Engine> StartQemuSh(const Cpu& cpu, std::string* why)
{
    std::unique_ptr<ShEngine> engine(new ShEngine(cpu));
    if (!engine->Start(CE_QEMU_SH4, CE_SH_LOADER, why))
        return nullptr;
    return engine;
}

ShEngine::~ShEngine()
{
    if (socket_ >= 0) {
        Send("k");
        close(socket_);
    }
    if (qemu_ > 0) {
        kill(qemu_, SIGKILL);
        waitpid(qemu_, NULL, 0);
    }
    if (!socketPath_.empty())
        unlink(socketPath_.c_str());
    if (errors_ >= 0)
        close(errors_);
}

bool ShEngine::Start(const std::string& qemu, const std::string& loader, std::string* why)
{
    std::ifstream elf(loader, std::ios::binary);
    uint8_t header[0x1C] = {0};
    if (!elf.read((char*)header, sizeof(header)) || memcmp(header, "\x7f" "ELF", 4) != 0) {
        *why = "the SH loader " + loader + " is missing: build the host preset";
        return false;
    }
    entry_ = header[0x18] | header[0x19] << 8 | header[0x1A] << 16 | (uint32_t)header[0x1B] << 24;

    char path[64];
    static unsigned serial;
    snprintf(path, sizeof(path), "/tmp/ce-sh-%d-%u.sock", (int)getpid(), serial++);
    socketPath_ = path;
    unlink(path);
    // qemu's own messages (an exception it does not hand to the program)
    // come back through a pipe, for the runner's error message.
    int errors[2];
    if (pipe2(errors, O_CLOEXEC) != 0) {
        *why = "cannot make a pipe for qemu";
        return false;
    }
    qemu_ = fork();
    if (qemu_ < 0) {
        *why = "cannot start " + qemu;
        return false;
    }
    if (qemu_ == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(errors[1], 2);
        if (null > 2)
            close(null);
        execl(qemu.c_str(), qemu.c_str(), "-g", path, loader.c_str(), (char*)NULL);
        _exit(127);
    }
    close(errors[1]);
    errors_ = errors[0];
    // qemu makes the socket once it is ready to be attached to.
    struct sockaddr_un address;
    memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof(address.sun_path), "%s", path);
    for (int tries = 0; tries < 500; tries++) {
        socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(socket_, (struct sockaddr*)&address, sizeof(address)) == 0)
            break;
        close(socket_);
        socket_ = -1;
        if (waitpid(qemu_, NULL, WNOHANG) == qemu_) {
            qemu_ = -1;
            break;
        }
        usleep(10000);
    }
    if (socket_ < 0) {
        *why = "cannot attach to " + qemu + " running the SH loader";
        return false;
    }
    std::string reply;
    if (!Transact("?", &reply) ||
        !ReadRegisters() || !SetTrap(entry_ + 2)) {
        *why = "qemu's debugger stub does not answer as expected";
        return false;
    }
    // Linux on SH fixes misaligned accesses up by default, and qemu follows
    // it; a CE device raises the address error and ends the program.
    uint32_t result = 1;
    if (!Syscall(kSysPrctl, {kPrSetUnalign, kPrUnalignSigbus}, &result) || result != 0) {
        *why = "qemu does not fault on misaligned accesses";
        return false;
    }
    return true;
}

std::string ShEngine::Diagnostics()
{
    // qemu has ended or is ending: what it wrote is all there is.
    if (qemu_ > 0) {
        int waited = 0;
        while (waitpid(qemu_, NULL, WNOHANG) == 0 && waited++ < 200)
            usleep(10000);
        if (waited > 200) {
            kill(qemu_, SIGKILL);
            waitpid(qemu_, NULL, 0);
        }
        qemu_ = -1;
    }
    std::string text;
    char buffer[4096];
    ssize_t n;
    while (errors_ >= 0 && (n = read(errors_, buffer, sizeof(buffer))) > 0)
        text.append(buffer, (size_t)n);
    return text;
}

bool ShEngine::Send(const std::string& packet)
{
    unsigned sum = 0;
    for (char c : packet)
        sum += (uint8_t)c;
    char tail[4];
    snprintf(tail, sizeof(tail), "#%02x", sum & 0xFF);
    const std::string out = "$" + packet + tail;
    size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n = send(socket_, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += (size_t)n;
    }
    return true;
}

bool ShEngine::Receive(std::string* reply, int timeoutMs)
{
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        // qemu 7.2 has no no-ack mode: its '+' before each reply is
        // skipped, and each reply acknowledged, or qemu sends it again.
        const size_t start = pending_.find('$');
        if (start != std::string::npos) {
            const size_t end = pending_.find('#', start);
            if (end != std::string::npos && end + 2 < pending_.size()) {
                *reply = pending_.substr(start + 1, end - start - 1);
                pending_.erase(0, end + 3);
                return send(socket_, "+", 1, MSG_NOSIGNAL) == 1;
            }
        }
        const int64_t left = deadline - NowMs();
        if (left <= 0)
            return false;
        struct pollfd p = {socket_, POLLIN, 0};
        const int ready = poll(&p, 1, (int)left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[8192];
        const ssize_t n = recv(socket_, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            lost_ = true;
            return false;
        }
        pending_.append(buffer, (size_t)n);
    }
}

bool ShEngine::Transact(const std::string& packet, std::string* reply, int timeoutMs)
{
    return Send(packet) && Receive(reply, timeoutMs);
}

bool ShEngine::ReadRegisters()
{
    std::string reply;
    if (!Transact("g", &reply) || reply.size() < 8 * kRegisterCount)
        return false;
    regs_.assign(kRegisterCount, 0);
    for (size_t i = 0; i < kRegisterCount; i++) {
        uint8_t b[4];
        if (!FromHex(reply, 8 * i, 4, b))
            return false;
        regs_[i] = b[0] | b[1] << 8 | b[2] << 16 | (uint32_t)b[3] << 24;
    }
    return true;
}

bool ShEngine::WriteRegisters()
{
    // The stub writes the register file in order, and the two banks at its
    // end alias r0-r7: they must carry the same values, or they undo them.
    for (size_t i = 0; i < 8; i++)
        regs_[43 + i] = regs_[51 + i] = regs_[i];
    std::string packet = "G";
    for (uint32_t v : regs_) {
        const uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
        packet += HexBytes(b, 4);
    }
    std::string reply;
    return Transact(packet, &reply) && reply == "OK";
}

bool ShEngine::Read(uint32_t address, void* data, uint32_t size)
{
    uint8_t* out = (uint8_t*)data;
    for (uint32_t done = 0; done < size;) {
        const uint32_t n = size - done < kChunk ? size - done : kChunk;
        std::string reply;
        if (!Transact("m" + Number(address + done) + "," + Number(n), &reply) ||
            reply.size() != 2 * n || !FromHex(reply, 0, n, out + done))
            return false;
        done += n;
    }
    return true;
}

bool ShEngine::Write(uint32_t address, const void* data, uint32_t size)
{
    const uint8_t* in = (const uint8_t*)data;
    for (uint32_t done = 0; done < size;) {
        const uint32_t n = size - done < kChunk ? size - done : kChunk;
        std::string reply;
        if (!Transact("M" + Number(address + done) + "," + Number(n) + ":" + HexBytes(in + done, n),
                      &reply) ||
            reply != "OK")
            return false;
        done += n;
    }
    return true;
}

bool ShEngine::SetTrap(uint32_t address)
{
    std::string reply;
    return Transact("Z0," + Number(address) + ",2", &reply) && reply == "OK";
}

bool ShEngine::Syscall(uint32_t number, const std::vector<uint32_t>& args, uint32_t* result)
{
    const std::vector<uint32_t> saved = regs_;
    static const int kArgRegisters[] = {4, 5, 6, 7, 0, 1};
    regs_[3] = number;
    for (size_t i = 0; i < args.size() && i < 6; i++)
        regs_[kArgRegisters[i]] = args[i];
    const Stop stop = Continue(entry_, 10000);
    *result = regs_[0];
    const bool ok = stop.kind == Stop::kTrap && stop.pc == entry_ + 2;
    regs_ = saved;
    return ok;
}

// The engine's kRead, kWrite and kFetch are Linux's PROT_READ, PROT_WRITE
// and PROT_EXEC.
bool ShEngine::Map(uint32_t address, uint32_t size, int protection)
{
    uint32_t result = 0;
    return Syscall(kSysMmap2, {address, size, (uint32_t)protection,
                               kMapPrivateAnonymousFixed, 0xFFFFFFFFu, 0},
                   &result) &&
           result == address;
}

bool ShEngine::Protect(uint32_t address, uint32_t size, int protection)
{
    uint32_t result = 1;
    return Syscall(kSysMprotect, {address, size, (uint32_t)protection}, &result) &&
           result == 0;
}

Stop ShEngine::Continue(uint32_t pc, int timeoutMs)
{
    Stop stop;
    stop.why = "qemu running the SH code went away";
    regs_[cpu_.pc] = pc;
    std::string reply;
    if (!WriteRegisters() || !Send("c"))
        return stop;
    const bool stopped = Receive(&reply, timeoutMs);
    if (!stopped && lost_) {
        // qemu ended, as it does on an exception its Linux layer does not
        // turn into a signal: on SH, an illegal instruction (trap 0x180).
        const std::string text = Diagnostics();
        const size_t pc = text.find("pc=0x");
        if (pc != std::string::npos)
            stop.pc = (uint32_t)strtoul(text.c_str() + pc + 5, NULL, 16);
        if (text.find("Unhandled trap: 0x180") != std::string::npos)
            stop.kind = Stop::kRejected;
        return stop;
    }
    if (!stopped) {
        // Still running: interrupt it, so that the engine can be taken down.
        const char interrupt = 3;
        send(socket_, &interrupt, 1, MSG_NOSIGNAL);
        Receive(&reply, 1000);
        stop.kind = Stop::kStuck;
        stop.why = std::to_string(timeoutMs / 1000) + " seconds";
        ReadRegisters();
        stop.pc = regs_.empty() ? 0 : regs_[cpu_.pc];
        return stop;
    }
    uint8_t signal = 0;
    if (reply.size() < 3 || (reply[0] != 'T' && reply[0] != 'S') || !FromHex(reply, 1, 1, &signal) ||
        !ReadRegisters())
        return stop;
    stop.pc = regs_[cpu_.pc];
    // GDB's numbers: 5 SIGTRAP (a breakpoint), 4 SIGILL, 10 SIGBUS, 11 SIGSEGV.
    stop.kind = signal == 5    ? Stop::kTrap
                : signal == 4  ? Stop::kRejected
                : signal == 10 ? Stop::kMisaligned
                : signal == 11 ? Stop::kAccess
                               : Stop::kLost;
    stop.why = signal == 11 ? "access to unmapped or protected memory" : "signal " + std::to_string(signal);
    return stop;
}

Stop ShEngine::Run(uint32_t pc, const Grow& grow)
{
    for (;;) {
        Stop stop = Continue(pc, kRunLimitMs);
        uint32_t at = stop.pc, address = 0;
        if (stop.kind != Stop::kAccess || !DataAddress(&at, &address))
            return stop;
        if (!grow(address))
            return stop.pc = at, stop;
        pc = stop.pc;  // the page is committed now: run the instruction again
    }
}

bool ShEngine::DataAddress(uint32_t* at, uint32_t* address)
{
    uint16_t op = 0;
    if (!Read(*at, &op, 2))
        return false;
    if (ShDataAddress(op, regs_, address))
        return true;
    if (!ShDelayedBranch(op) || !Read(*at + 2, &op, 2) || !ShDataAddress(op, regs_, address))
        return false;
    *at += 2;
    return true;
}

}  // namespace ce
