#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "platform/printable.h"
#include "vlregut/registry.h"
#include "vlregut/store.h"
#include "vlregut/tool.h"

namespace {

using vlregut::Layer;
using vlregut::Origin;
using vlregut::Registry;
using vlregut::Result;
using vlregut::Status;
using vlregut::Store;
using vlregut::View;

constexpr const char* kUsage =
    "usage: vlreg [OPTIONS] COMMAND [ARGUMENTS]\n"
    "\n"
    "  add PRODUCT              create the product (nothing to do if it exists)\n"
    "  set PRODUCT ENTRY VALUE  store VALUE under ENTRY of an existing product\n"
    "  get PRODUCT ENTRY        print the value\n"
    "  list                     print the products, one per line\n"
    "  list PRODUCT             print the product's entries as ENTRY=VALUE, one per line\n"
    "  remove PRODUCT [ENTRY]   remove the product, or one of its entries\n"
    "\n"
    "Options, before or after the command:\n"
    "  --system       act on the machine-wide layer alone\n"
    "  --show-origin  with get and list: begin each line with LAYER:LOCATION and a tab,\n"
    "                 LAYER being user or system and LOCATION the file or registry key\n"
    "                 that the line comes from\n"
    "  --help, -h     print this help (on Windows also /?)\n"
    "  --version      print the version\n"
    "  --             end the options: what follows are arguments, even with a leading -\n"
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

struct Request {
    bool system = false;
    bool showOrigin = false;
    bool help = false;
    bool version = false;
    std::vector<std::string_view> words;  // the command and its arguments
};

int Complain(int status, const std::string& message) {
    vlregut::Diagnose("vlreg: " + message);
    return status;
}

int Finish(const Result& result) {
    switch (result.status) {
        case Status::Ok:
            return 0;
        case Status::NotFound:
            return Complain(1, result.message);
        default:
            return Complain(2, result.message);
    }
}

// Into a pipe or file the text goes byte for byte, for scripts; on a terminal the control bytes
// of names and values are escaped.
void PrintLine(std::string_view text) {
    static const bool terminal = isatty(fileno(stdout)) != 0;
    const std::string shown = terminal ? platform::Printable(text, true) : std::string(text);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fputc('\n', stdout);
}

// The line as --show-origin prints it: "user:/home/u/.config/vlregut/registry.ini<TAB>text".
std::string WithOrigin(Store& store, const Origin* origin, const std::string& text) {
    if (origin == nullptr) {
        return text;
    }
    const char* layer = origin->layer == Layer::User ? "user:" : "system:";
    return layer + store.Location(origin->layer, origin->product) + "\t" + text;
}

void PrintHelp(Store& store) {
    std::fputs(kUsage, stdout);
    std::fputs("\n", stdout);
    std::fputs(vlregut::LayerLocations(), stdout);
    const std::string user = store.Location(Layer::User, {});
    PrintLine("\nIn use now:\n  user    " + (user.empty() ? "none (no home folder)" : user) +
              "\n  system  " + store.Location(Layer::System, {}));
}

int Execute(Store& store, const Request& request, const std::vector<std::string_view>& args) {
    Registry registry(store);
    const std::string_view command = request.words[0];
    const Layer layer = request.system ? Layer::System : Layer::User;
    const View view = request.system ? View::System : View::Merged;
    if (command == "add") {
        return Finish(registry.Add(layer, args[0]));
    }
    if (command == "set") {
        return Finish(registry.Set(layer, args[0], args[1], args[2]));
    }
    if (command == "remove") {
        return Finish(args.size() == 1 ? registry.Remove(layer, args[0])
                                       : registry.Remove(layer, args[0], args[1]));
    }
    if (command == "get") {
        std::string value;
        Origin origin;
        const Result result = registry.Get(view, args[0], args[1], value, &origin);
        if (result.status == Status::Ok) {
            PrintLine(WithOrigin(store, request.showOrigin ? &origin : nullptr, value));
        }
        return Finish(result);
    }
    std::vector<std::string> lines;
    std::vector<Origin> origins;
    Result result;
    if (args.empty()) {
        result = registry.Products(view, lines, &origins);
    } else {
        vlregut::ini::Entries entries;
        result = registry.EntriesOf(view, args[0], entries, &origins);
        for (const auto& [name, value] : entries) {
            lines.push_back(name + "=" + value);
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        PrintLine(WithOrigin(store, request.showOrigin ? &origins[i] : nullptr, lines[i]));
    }
    return Finish(result);
}

// Options may come before or after the command, until "--".
int Parse(int argc, char** argv, Request& request) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (optionsEnded || word.size() < 2 || (word[0] != '-' && word != "/?")) {
            request.words.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "--help" || word == "-h") {
            request.help = true;
        } else if (word == "--version") {
            request.version = true;
        } else if (word == "--system") {
            request.system = true;
        } else if (word == "--show-origin") {
            request.showOrigin = true;
        } else if (word == "/?") {
#ifdef _WIN32
            request.help = true;
#else
            request.words.push_back(word);
#endif
        } else {
            return Complain(2, "unknown option " + std::string(word) + " (see vlreg --help)");
        }
    }
    return 0;
}

int Run(int argc, char** argv) {
    Request request;
    if (const int status = Parse(argc, argv, request); status != 0) {
        return status;
    }
    const auto store = vlregut::OpenDefaultStore();
    if (request.help) {
        PrintHelp(*store);
        return 0;
    }
    if (request.version) {
        PrintLine("vlreg " VLREG_VERSION);
        return 0;
    }
    if (request.words.empty()) {
        return Complain(2, "missing command (see vlreg --help)");
    }
    const std::string_view name = request.words[0];
    const std::vector<std::string_view> args(request.words.begin() + 1, request.words.end());
    for (const Command& command : kCommands) {
        if (command.name != name) {
            continue;
        }
        if (args.size() < command.minArgs || args.size() > command.maxArgs) {
            return Complain(2, "usage: vlreg [OPTIONS] " + std::string(command.synopsis));
        }
        if (request.showOrigin && name != "get" && name != "list") {
            return Complain(2, "--show-origin goes with get and list only");
        }
        return Execute(*store, request, args);
    }
    return Complain(2, "unknown command " + std::string(name) + " (see vlreg --help)");
}

}  // namespace

int vlregut::RunTool(int argc, char** argv) {
    try {
        const int status = Run(argc, argv);
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            return status != 0 ? status : Complain(2, "cannot write to standard output");
        }
        return status;
    } catch (const std::exception& failure) {
        return Complain(2, failure.what());
    }
}

#ifndef _WIN32
int main(int argc, char** argv) {
    return vlregut::RunTool(argc, argv);
}
#endif
