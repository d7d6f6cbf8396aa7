// loader.h: the CE loader's part of a run: a device .exe checked as a
// device would check it, its CPU's engine started, the image mapped at its
// base with each part's protection, the scratch and trap pages, every
// import bound by name to the runner's binding, and the names of its
// functions from NAME.syms.
#ifndef CE_RUNNER_LOADER_H
#define CE_RUNNER_LOADER_H

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ce {

struct PeImage;
struct Cpu;
class Engine;

struct Program {
    Program();
    ~Program();
    Program(Program&&);
    Program& operator=(Program&&);

    std::unique_ptr<PeImage> image;
    const Cpu* cpu = nullptr;
    std::unique_ptr<Engine> engine;
    std::vector<size_t> bindings;  // per import: index into kBindings
    std::map<std::string, uint32_t> symbols;
    std::vector<std::pair<uint32_t, std::string>> functions;  // by address

    uint32_t Instance() const;
    uint32_t StackReserve() const;
};

// False, with *why naming the culprit, for a file a device would not run or
// an import the runner does not know.
bool LoadProgram(const std::string& exePath, Program* program, std::string* why);

}  // namespace ce

#endif
