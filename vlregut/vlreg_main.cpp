#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "vlregut/registry.h"
#include "vlregut/store.h"

namespace {

using vlregut::Layer;
using vlregut::Registry;
using vlregut::Result;
using vlregut::Status;
using vlregut::View;

constexpr const char* kUsage =
    "usage: vlreg [--system] COMMAND [ARGUMENTS]\n"
    "\n"
    "  add PRODUCT              create the product (nothing to do if it exists)\n"
    "  set PRODUCT ENTRY VALUE  store VALUE under ENTRY of an existing product\n"
    "  get PRODUCT ENTRY        print the value\n"
    "  list                     print the products, one per line\n"
    "  list PRODUCT             print the product's entries as ENTRY=VALUE, one per line\n"
    "  remove PRODUCT [ENTRY]   remove the product, or one of its entries\n"
    "\n"
    "Changes go to the user's layer; get and list show the user's values over the\n"
    "machine-wide ones. With --system, everything acts on the machine-wide layer alone.\n"
    "\n"
    "Exit status: 0 done, 1 no such product or entry, 2 usage error or unusable store.\n";

struct Command {
    std::string_view name;
    std::size_t minArgs;
    std::size_t maxArgs;
    std::string_view synopsis;
};

constexpr Command kCommands[] = {
    {"add", 1, 1, "add PRODUCT"},
    {"set", 3, 3, "set PRODUCT ENTRY VALUE"},
    {"get", 2, 2, "get PRODUCT ENTRY"},
    {"list", 0, 1, "list [PRODUCT]"},
    {"remove", 1, 2, "remove PRODUCT [ENTRY]"},
};

int complain(int status, const std::string& message) {
    std::fprintf(stderr, "vlreg: %s\n", message.c_str());
    return status;
}

int finish(const Result& result) {
    switch (result.status) {
        case Status::Ok:
            return 0;
        case Status::NotFound:
            return complain(1, result.message);
        default:
            return complain(2, result.message);
    }
}

void printLine(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

int execute(Registry& registry, bool system, std::string_view command,
            const std::vector<std::string_view>& args) {
    const Layer layer = system ? Layer::System : Layer::User;
    const View view = system ? View::System : View::Merged;
    if (command == "add") {
        return finish(registry.add(layer, args[0]));
    }
    if (command == "set") {
        return finish(registry.set(layer, args[0], args[1], args[2]));
    }
    if (command == "remove") {
        return finish(args.size() == 1 ? registry.remove(layer, args[0])
                                       : registry.remove(layer, args[0], args[1]));
    }
    if (command == "get") {
        std::string value;
        const Result result = registry.get(view, args[0], args[1], value);
        if (result.status == Status::Ok) {
            printLine(value);
        }
        return finish(result);
    }
    if (args.empty()) {
        std::vector<std::string> names;
        const Result result = registry.products(view, names);
        for (const auto& name : names) {
            printLine(name);
        }
        return finish(result);
    }
    vlregut::ini::Entries entries;
    const Result result = registry.entries(view, args[0], entries);
    for (const auto& [name, value] : entries) {
        printLine(name + "=" + value);
    }
    return finish(result);
}

int run(int argc, char** argv) {
    bool system = false;
    int next = 1;
    for (; next < argc && argv[next][0] == '-'; ++next) {
        const std::string_view option = argv[next];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs("\n", stdout);
            std::fputs(vlregut::layerLocations(), stdout);
            return 0;
        }
        if (option != "--system") {
            return complain(2, "unknown option " + std::string(option) + " (see vlreg --help)");
        }
        system = true;
    }
    if (next == argc) {
        return complain(2, "missing command (see vlreg --help)");
    }
    const std::string_view name = argv[next];
    const std::vector<std::string_view> args(argv + next + 1, argv + argc);
    for (const Command& command : kCommands) {
        if (command.name != name) {
            continue;
        }
        if (args.size() < command.minArgs || args.size() > command.maxArgs) {
            return complain(2, "usage: vlreg [--system] " + std::string(command.synopsis));
        }
        const auto store = vlregut::openDefaultStore();
        Registry registry(*store);
        return execute(registry, system, name, args);
    }
    return complain(2, "unknown command " + std::string(name) + " (see vlreg --help)");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const int status = run(argc, argv);
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            return status != 0 ? status : complain(2, "cannot write to standard output");
        }
        return status;
    } catch (const std::exception& failure) {
        return complain(2, failure.what());
    }
}
