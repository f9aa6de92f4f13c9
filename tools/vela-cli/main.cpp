// vela-cli: the components of Vela driven from a command line.
#include "CliCommand.h"

#include <cstdio>
#include <cstring>

namespace {

std::vector<CliCommand>& registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

int usage() {
    std::fprintf(stderr, "usage: vela-cli COMMAND [ARGS...]\n");
    for (const auto& c : CliRegistry::All())
        std::fprintf(stderr, "  vela-cli %s\n", c.Usage.c_str());
    return 2;
}

} // namespace

bool CliRegistry::Add(CliCommand command) {
    registry().push_back(std::move(command));
    return true;
}

const std::vector<CliCommand>& CliRegistry::All() {
    return registry();
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0)
        return usage();
    for (const auto& c : CliRegistry::All()) {
        if (c.Name == argv[1])
            return c.Run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "vela-cli: unknown command \"%s\"\n", argv[1]);
    return usage();
}
