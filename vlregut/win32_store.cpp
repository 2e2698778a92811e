#include <windows.h>

#include <sddl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vlregut/names.h"
#include "vlregut/store.h"

namespace vlregut {
namespace {

// The largest value name the registry allows is 16383 characters; a double-byte code page may
// need two bytes for each.
constexpr DWORD kValueNameBytes = 2 * 16383 + 1;
// One byte more than a value and its NUL, so that an over-long value without a NUL is seen.
constexpr DWORD kValueBytes = kMaxValueLength + 2;
constexpr REGSAM kView = KEY_WOW64_64KEY;

struct Place {
    HKEY root;
    std::string path;  // as shown in messages
    const char* subKey;
};

Place placeOf(Layer layer) {
    if (layer == Layer::System) {
        return {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products",
                "SOFTWARE\\vlregut\\Products"};
    }
    return {HKEY_CURRENT_USER, "HKEY_CURRENT_USER\\Software\\vlregut\\Products",
            "Software\\vlregut\\Products"};
}

class Key {
  public:
    Key() = default;
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HKEY get() const { return key_; }
    HKEY* out() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

// Registry names may hold control characters; a message stays on one line.
std::string printable(std::string_view name) {
    std::string text(name);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return text;
}

std::string systemMessage(DWORD code) {
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '.' || message.back() == ' ' ||
                                message.back() == '\r' || message.back() == '\n')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : printable(message);
}

std::string describe(const std::string& place, std::string_view what, LSTATUS code) {
    return place + ": " + std::string(what) + ": " + systemMessage(static_cast<DWORD>(code));
}

bool fault(const std::string& place, const std::string& what, std::string& error) {
    error = place + ": " + what;
    return false;
}

// Fetches the name, type and data of a value; data too long to fetch comes back over-long.
LSTATUS enumValue(HKEY key, DWORD index, std::string& name, DWORD& type, std::string& data) {
    name.resize(kValueNameBytes);
    DWORD nameSize = kValueNameBytes;
    data.resize(kValueBytes);
    DWORD size = kValueBytes;
    LSTATUS status = RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA) {
        // Only the data can be too large; ask again for the name and the type alone.
        nameSize = kValueNameBytes;
        status =
            RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, nullptr, nullptr);
        size = kValueBytes;
    }
    name.resize(status == ERROR_SUCCESS ? nameSize : 0);
    data.resize(status == ERROR_SUCCESS ? size : 0);
    // A REG_SZ normally ends in a NUL, but nothing enforces it.
    if (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    return status;
}

// What the INI parser refuses is refused here too, so both platforms store the same things.
std::string valueFault(const std::string& name, DWORD type, const std::string& data) {
    if (!isValidEntryName(name)) {
        return "invalid entry name";
    }
    if (type != REG_SZ) {
        return "type " + std::to_string(type) + ", not REG_SZ";
    }
    if (data.size() > kMaxValueLength) {
        return "longer than 255 bytes";
    }
    if (!isValidValue(data)) {
        return "line break or NUL byte";
    }
    return {};
}

bool readProduct(HKEY key, const std::string& product, const std::string& place, ini::Document& doc,
                 std::string& error) {
    // A product is a flat list of entries; a nested key would be lost on removal.
    char sub[512];
    DWORD subSize = sizeof sub;
    LSTATUS status = RegEnumKeyExA(key, 0, sub, &subSize, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        return fault(place, "unexpected subkey", error);
    }
    if (status != ERROR_NO_MORE_ITEMS) {
        error = describe(place, "cannot read", status);
        return false;
    }
    ini::addSection(doc, product);
    std::string name;
    std::string data;
    DWORD type = 0;
    for (DWORD index = 0;; ++index) {
        status = enumValue(key, index, name, type, data);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        if (status != ERROR_SUCCESS) {
            error = describe(place, "cannot read", status);
            return false;
        }
        if (const std::string what = valueFault(name, type, data); !what.empty()) {
            return fault(place + ": value " + printable(name), what, error);
        }
        ini::setValue(doc, product, name, data);
    }
}

// A missing Products key is an empty layer.
bool readLayer(const Place& place, ini::Document& doc, std::string& error) {
    Key products;
    LSTATUS status = RegOpenKeyExA(place.root, place.subKey, 0, KEY_READ | kView, products.out());
    if (status == ERROR_FILE_NOT_FOUND) {
        doc = {};
        return true;
    }
    if (status != ERROR_SUCCESS) {
        error = describe(place.path, "cannot open", status);
        return false;
    }
    ini::Document read;
    for (DWORD index = 0;; ++index) {
        // Key names have at most 255 characters, two bytes each in a double-byte code page.
        char name[512];
        DWORD size = sizeof name;
        status =
            RegEnumKeyExA(products.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS) {
            error = describe(place.path, "cannot read", status);
            return false;
        }
        const std::string product(name, size);
        const std::string where = place.path + "\\" + printable(product);
        if (!isValidProductId(product)) {
            return fault(where, "invalid product id", error);
        }
        Key key;
        status = RegOpenKeyExA(products.get(), name, 0, KEY_READ | kView, key.out());
        // Readers take no lock: a product removed meanwhile is simply gone.
        if (status == ERROR_FILE_NOT_FOUND) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            error = describe(where, "cannot open", status);
            return false;
        }
        if (!readProduct(key.get(), product, where, read, error)) {
            return false;
        }
    }
    doc = std::move(read);
    return true;
}

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

std::string userSid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return {};
    }
    const Handle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    char* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return {};
    }
    std::string sid(text);
    LocalFree(text);
    return sid;
}

// Writers of the machine-wide layer are administrators or services, possibly in other sessions;
// writers of the user's layer are that user's processes, elevated or not. Each mutex grants only
// them access, so nobody else can hold it or block its creation.
class WriteLock {
  public:
    bool acquire(Layer layer, std::string& error) {
        std::string name = "Global\\vlregut-system-store";
        std::string access = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";
        if (layer == Layer::User) {
            const std::string sid = userSid();
            if (sid.empty()) {
                error = "cannot identify the user: " + systemMessage(GetLastError());
                return false;
            }
            name = "Local\\vlregut-user-store-" + sid;
            access = "D:P(A;;GA;;;" + sid + ")";
        }
        SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
                access.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
            error = name + ": cannot create lock: " + systemMessage(GetLastError());
            return false;
        }
        mutex_ = CreateMutexExA(&attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
        const DWORD failure = GetLastError();
        LocalFree(attributes.lpSecurityDescriptor);
        if (mutex_ == nullptr) {
            error = name + ": cannot create lock: " + systemMessage(failure);
            return false;
        }
        // An abandoned mutex is still ours: its holder died between two atomic value writes.
        const auto wait = std::chrono::milliseconds(kLockWait).count();
        const DWORD waited = WaitForSingleObject(mutex_, static_cast<DWORD>(wait));
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (waited == WAIT_TIMEOUT) {
            error = name + ": another process holds the lock; gave up after " +
                    std::to_string(kLockWait.count()) + " seconds";
        } else if (!held_) {
            error = name + ": cannot lock: " + systemMessage(GetLastError());
        }
        return held_;
    }

    ~WriteLock() {
        if (held_) {
            ReleaseMutex(mutex_);
        }
        if (mutex_ != nullptr) {
            CloseHandle(mutex_);
        }
    }

  private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

bool writeProduct(HKEY products, const std::string& product, const ini::Document& before,
                  const ini::Document& after, const std::string& place, std::string& error) {
    const bool existed = ini::findSection(before, product).has_value();
    const ini::Entries wanted = ini::entries(after, product);
    const ini::Entries old = ini::entries(before, product);
    // Edits keep spelling and order, so an untouched product compares equal.
    if (existed && wanted == old) {
        return true;
    }
    const std::string where = place + "\\" + printable(product);
    // A name the registry folds together with an existing one (a non-ASCII letter in the other
    // case) would silently change that key or value instead of adding a new one.
    const std::string clash = "the registry has it under a spelling that differs beyond A-Z case";
    Key key;
    DWORD disposition = 0;
    if (const LSTATUS status = RegCreateKeyExA(products, product.c_str(), 0, nullptr, 0,
                                               KEY_QUERY_VALUE | KEY_SET_VALUE | kView, nullptr,
                                               key.out(), &disposition);
        status != ERROR_SUCCESS) {
        error = describe(where, "cannot create", status);
        return false;
    }
    if (!existed && disposition == REG_OPENED_EXISTING_KEY) {
        return fault(where, clash, error);
    }
    for (const auto& [name, value] : wanted) {
        const auto previous = ini::findValue(before, product, name);
        if (previous == value) {
            continue;
        }
        if (!previous && RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr,
                                          nullptr) == ERROR_SUCCESS) {
            return fault(where + ": value " + printable(name), clash, error);
        }
        if (const LSTATUS status = RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                                                  reinterpret_cast<const BYTE*>(value.c_str()),
                                                  static_cast<DWORD>(value.size() + 1));
            status != ERROR_SUCCESS) {
            error = describe(where + ": value " + printable(name), "cannot set", status);
            return false;
        }
    }
    for (const auto& [name, value] : old) {
        if (ini::findValue(after, product, name)) {
            continue;
        }
        if (const LSTATUS status = RegDeleteValueA(key.get(), name.c_str());
            status != ERROR_SUCCESS) {
            error = describe(where + ": value " + printable(name), "cannot delete", status);
            return false;
        }
    }
    return true;
}

// Only what differs is written, each value on its own: the registry replaces one value
// atomically, and one edit of the library or the tool changes at most one value or one key.
bool writeChanges(const Place& place, const ini::Document& before, const ini::Document& after,
                  std::string& error) {
    Key products;
    if (const LSTATUS status =
            RegCreateKeyExA(place.root, place.subKey, 0, nullptr, 0, KEY_READ | KEY_WRITE | kView,
                            nullptr, products.out(), nullptr);
        status != ERROR_SUCCESS) {
        error = describe(place.path, "cannot create", status);
        return false;
    }
    for (const std::string& product : ini::sections(before)) {
        if (ini::findSection(after, product)) {
            continue;
        }
        if (const LSTATUS status = RegDeleteKeyExA(products.get(), product.c_str(), kView, 0);
            status != ERROR_SUCCESS) {
            error = describe(place.path + "\\" + printable(product), "cannot delete", status);
            return false;
        }
    }
    for (const std::string& product : ini::sections(after)) {
        if (!writeProduct(products.get(), product, before, after, place.path, error)) {
            return false;
        }
    }
    return true;
}

class Win32Store final : public Store {
  public:
    bool read(Layer layer, Snapshot& doc, std::string& error) override {
        auto read = std::make_shared<ini::Document>();
        doc = read;
        return readLayer(placeOf(layer), *read, error);
    }

    bool update(Layer layer, const Edit& edit, std::string& error) override {
        const Place place = placeOf(layer);
        WriteLock lock;
        ini::Document before;
        if (!lock.acquire(layer, error) || !readLayer(place, before, error)) {
            return false;
        }
        ini::Document after = before;
        return !edit(after) || writeChanges(place, before, after, error);
    }
};

}  // namespace

std::unique_ptr<Store> openDefaultStore() {
    return std::make_unique<Win32Store>();
}

const char* layerLocations() {
    return "The user's layer is the registry key\n"
           "HKEY_CURRENT_USER\\Software\\vlregut\\Products; the machine-wide layer is\n"
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products (64-bit view). Each product is a\n"
           "subkey, each entry a REG_SZ value.\n";
}

}  // namespace vlregut
