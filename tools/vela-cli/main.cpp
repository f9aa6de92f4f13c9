// vela-cli: the components of Vela driven from a command line. The commands are in modules
// loaded on demand: vela-cli-NAME.so for a command of its own, else the commands module.
#include "CliCommand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<CliCommand>& registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

// The modules' folder: the library folder of an installed copy, else the executable's own.
std::string moduleFolder() {
    std::string exe(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    if (n <= 0)
        return ".";
    exe.resize(std::size_t(n));
    const std::string folder = exe.substr(0, exe.rfind('/'));
    const std::string installed = folder + "/" + VELA_LIBRARY_FROM_BINDIR;
    struct stat st {};
    const bool isInstalled = stat((installed + "/vela-cli-commands.so").c_str(), &st) == 0;
    return isInstalled ? installed : folder;
}

bool load(const std::string& path) {
    if (dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL))
        return true;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) // there but not loadable: say why
        std::fprintf(stderr, "vela-cli: %s\n", dlerror());
    return false;
}

void loadAll(const std::string& folder) {
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.rfind("vela-cli-", 0) == 0 && name.size() > 3 &&
                name.compare(name.size() - 3, 3, ".so") == 0)
                load(folder + "/" + name);
        }
        closedir(dir);
    }
}

const CliCommand* find(const char* name) {
    for (const auto& c : CliRegistry::All())
        if (c.Name == name)
            return &c;
    return nullptr;
}

int usage() {
    std::fprintf(stderr, "usage: vela-cli COMMAND [ARGS...]\n");
    for (const auto& c : CliRegistry::All())
        std::fprintf(stderr, "  vela-cli %s\n", c.Usage.c_str());
    return 2;
}

// The ocr command reads pages in parallel itself; the engine's OpenMP threads on top of that
// only compete for the same cores (a page took twice as long here). The variable is read when
// the engine's libraries load, so it must be set before any module is.
void limitEngineThreads(const char* command) {
    if (std::strcmp(command, "ocr") == 0)
        setenv("OMP_THREAD_LIMIT", "1", 0);
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
    const std::string folder = moduleFolder();
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        loadAll(folder);
        return usage();
    }
    limitEngineThreads(argv[1]);
    const CliCommand* command = nullptr;
    if (std::strchr(argv[1], '/') == nullptr && load(folder + "/vela-cli-" + argv[1] + ".so"))
        command = find(argv[1]);
    if (!command && load(folder + "/vela-cli-commands.so"))
        command = find(argv[1]);
    if (command)
        return command->Run(argc - 1, argv + 1);
    loadAll(folder);
    std::fprintf(stderr, "vela-cli: unknown command \"%s\"\n", argv[1]);
    return usage();
}
