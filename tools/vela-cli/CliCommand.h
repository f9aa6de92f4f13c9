#pragma once

#include <functional>
#include <string>
#include <vector>

// A subcommand of vela-cli. Each command file registers itself with VELA_CLI_COMMAND and
// creates the application object it needs (core, GUI) inside Run.
struct CliCommand {
    std::string Name;
    std::string Usage;
    std::function<int(int argc, char** argv)> Run; // argv[0] is the command name
};

class CliRegistry {
public:
    static bool Add(CliCommand command);
    static const std::vector<CliCommand>& All();
};

#define VELA_CLI_CONCAT2(a, b) a##b
#define VELA_CLI_CONCAT(a, b) VELA_CLI_CONCAT2(a, b)
#define VELA_CLI_COMMAND(name, usage, fn)                                                          \
    static const bool VELA_CLI_CONCAT(s_registered_, __LINE__) =                                   \
        CliRegistry::Add(CliCommand{name, usage, fn})
