#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "vlregut/ini.h"

namespace vlregut {

enum class Layer { System, User };

// How long a writer waits for another process's write lock before it fails.
inline constexpr std::chrono::seconds kLockWait{10};

// Where the layers live: files on POSIX systems, registry keys on Windows. Errors are one line
// naming the place and the fault, without a program name.
class Store {
  public:
    // Returns whether the document changed and must be written back.
    using Edit = std::function<bool(ini::Document&)>;

    virtual ~Store() = default;

    using Snapshot = std::shared_ptr<const ini::Document>;

    // Reads a layer as it is now; a layer that does not exist yet reads as empty.
    virtual bool read(Layer layer, Snapshot& doc, std::string& error) = 0;

    // Re-reads the layer while holding its write lock, applies edit and, when it changed
    // something, replaces the layer as a whole. A layer that cannot be read is left alone.
    virtual bool update(Layer layer, const Edit& edit, std::string& error) = 0;
};

std::unique_ptr<Store> openDefaultStore();

// For the admin tool's help: where this platform keeps the two layers, ending in a line feed.
const char* layerLocations();

}  // namespace vlregut
