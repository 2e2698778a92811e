#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "vlregut/ini.h"

namespace vlregut {

enum class Layer { System, User };

// What every operation of the store and the registry answers.
enum class Status { Ok, NotFound, Invalid, Failed };

struct Result {
    Status status = Status::Ok;
    std::string message;  // one line unless Ok
};

inline Result Failure(std::string message) {
    return {Status::Failed, std::move(message)};
}

// How long a writer waits for another process's write lock before it fails.
inline constexpr std::chrono::seconds kLockWait{10};

// Where the layers live: files on POSIX systems, registry keys on Windows. A failure's message is
// one line naming the place and the fault, without a program name.
class Store {
  public:
    // Returns whether the document changed and must be written back.
    using Edit = std::function<bool(ini::Document&)>;

    virtual ~Store() = default;

    using Snapshot = std::shared_ptr<const ini::Document>;

    // Reads a layer as it is now; a layer that does not exist yet reads as empty.
    virtual Result Read(Layer layer, Snapshot& doc) = 0;

    // Re-reads the layer while holding its write lock, applies edit and, when it changed
    // something, replaces the layer as a whole. A layer that cannot be read is left alone.
    virtual Result Update(Layer layer, const Edit& edit) = 0;

    // The file or registry key that holds the layer's values of the product as that layer spells
    // it (a file holds all products); empty when the layer has no place, like the user's layer
    // without a home folder.
    virtual std::string Location(Layer layer, std::string_view product) = 0;
};

std::unique_ptr<Store> OpenDefaultStore();

// Every diagnostic line of the library and the tool leaves through here: standard error, with a
// line end, flushed; on Windows also the debugger's output, since a GUI program's standard error
// is usually nowhere.
void Diagnose(std::string_view line);

// For the admin tool's help: where this platform keeps the two layers, ending in a line feed.
const char* LayerLocations();

}  // namespace vlregut
