// The POSIX path split on arbitrary paths: the parts fit their capacities and join back to the
// path, and a path is refused exactly when one of its parts would not fit, never cut to fit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/posix/file_system.h"
#include "tests/fuzz/check.h"

namespace {

constexpr auto npos = std::string_view::npos;

// A part buffer of exactly its capacity, filled with a non-NUL byte so that a part left
// unterminated shows; AddressSanitizer catches a write past it.
std::unique_ptr<char[]> PartBuffer(std::size_t capacity) {
    auto buffer = std::make_unique<char[]>(capacity);
    std::memset(buffer.get(), 'Z', capacity);
    return buffer;
}

// The part as a string when it is terminated within its capacity.
bool Terminated(const char* part, std::size_t capacity) {
    return std::memchr(part, '\0', capacity) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzInput input(data, size);
    const std::string_view path = input.view();

    auto drive = PartBuffer(platform::kMaxDrive);
    auto dir = PartBuffer(platform::kMaxDir);
    auto fname = PartBuffer(platform::kMaxFname);
    auto ext = PartBuffer(platform::kMaxExt);
    const platform::PosixFileSystem files;
    const bool split =
        files.SplitPath(input.c_str(), drive.get(), dir.get(), fname.get(), ext.get());

    // The lengths of the parts: no drive, the folder through the last '/', the extension from
    // the last '.' of the name.
    const std::size_t slash = path.rfind('/');
    const std::size_t dirLength = slash == npos ? 0 : slash + 1;
    const std::string_view name = path.substr(dirLength);
    const std::size_t dot = name.rfind('.');
    const std::size_t extLength = dot == npos ? 0 : name.size() - dot;
    const std::size_t fnameLength = name.size() - extLength;
    const bool fits = dirLength < platform::kMaxDir && fnameLength < platform::kMaxFname &&
                      extLength < platform::kMaxExt;
    FUZZ_CHECK(split == fits);
    if (!split) {
        return 0;
    }

    FUZZ_CHECK(Terminated(drive.get(), platform::kMaxDrive));
    FUZZ_CHECK(Terminated(dir.get(), platform::kMaxDir));
    FUZZ_CHECK(Terminated(fname.get(), platform::kMaxFname));
    FUZZ_CHECK(Terminated(ext.get(), platform::kMaxExt));
    const std::string_view drivePart(drive.get());
    const std::string_view dirPart(dir.get());
    const std::string_view fnamePart(fname.get());
    const std::string_view extPart(ext.get());
    FUZZ_CHECK(drivePart.empty());
    FUZZ_CHECK(dirPart.size() == dirLength && fnamePart.size() == fnameLength &&
               extPart.size() == extLength);
    FUZZ_CHECK(std::string(drivePart) + std::string(dirPart) + std::string(fnamePart) +
                   std::string(extPart) ==
               path);
    return 0;
}
