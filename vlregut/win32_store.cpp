#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/printable.h"
#include "platform/win32/code_page.h"
#include "platform/win32/scoped.h"
#include "vlregut/layer_builder.h"
#include "vlregut/names.h"
#include "vlregut/store.h"

namespace vlregut {
namespace {

// The largest value name the registry allows is 16383 characters.
constexpr DWORD kValueNameChars = 16384;
// One character more than a value and its NUL, so that an over-long value without a NUL is seen.
constexpr DWORD kValueChars = kMaxValueLength + 2;
constexpr REGSAM kView = KEY_WOW64_64KEY;

struct Place {
    HKEY root;
    std::string path;  // as shown in messages
    const char* subKey;
};

Place PlaceOf(Layer layer) {
    if (layer == Layer::System) {
        return {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products",
                "SOFTWARE\\vlregut\\Products"};
    }
    return {HKEY_CURRENT_USER, "HKEY_CURRENT_USER\\Software\\vlregut\\Products",
            "Software\\vlregut\\Products"};
}

std::string SystemMessage(DWORD code) {
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '.' || message.back() == ' ' ||
                                message.back() == '\r' || message.back() == '\n')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

std::string Describe(const std::string& place, std::string_view what, LSTATUS code) {
    return place + ": " + std::string(what) + ": " + SystemMessage(static_cast<DWORD>(code));
}

bool Fault(const std::string& place, const std::string& what, std::string& error) {
    error = place + ": " + what;
    return false;
}

// Names and data are read wide and taken only when the ANSI code page holds them exactly: the 8-bit
// functions would hand over "?" or a look-alike (fullwidth D as D), a path to something else.
bool Narrow(std::wstring_view wide, std::string& text) {
    return platform::NarrowExactly(wide, GetACP(), text);
}

std::string NotHeld() {
    return "characters that the ANSI code page (" + std::to_string(GetACP()) + ") cannot hold";
}

// A name that the code page cannot hold, for a message: '?' for what it cannot hold.
std::string Shown(std::wstring_view wide) {
    const unsigned codePage = GetACP();
    const DWORD flags = platform::NarrowingFor(codePage).flags;
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

// Fetches the name, type and data of a value; data too long to fetch comes back over-long.
LSTATUS EnumValue(HKEY key, DWORD index, std::wstring& name, DWORD& type, std::wstring& data) {
    name.resize(kValueNameChars);
    DWORD nameSize = kValueNameChars;
    data.resize(kValueChars);
    DWORD size = kValueChars * sizeof(wchar_t);
    LSTATUS status = RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_MORE_DATA) {
        // Only the data can be too large; ask again for the name and the type alone.
        nameSize = kValueNameChars;
        status =
            RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type, nullptr, nullptr);
        size = kValueChars * sizeof(wchar_t);
    }
    name.resize(status == ERROR_SUCCESS ? nameSize : 0);
    data.resize(status == ERROR_SUCCESS ? size / sizeof(wchar_t) : 0);
    // A REG_SZ normally ends in a NUL, but nothing enforces it.
    if (!data.empty() && data.back() == L'\0') {
        data.pop_back();
    }
    return status;
}

bool ReadProduct(HKEY key, const std::string& place, ProductKey& product, std::string& error) {
    // A product is a flat list of entries; a nested key would be lost on removal.
    wchar_t sub[256];
    DWORD subSize = 256;
    LSTATUS status = RegEnumKeyExW(key, 0, sub, &subSize, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        return Fault(place, "unexpected subkey", error);
    }
    if (status != ERROR_NO_MORE_ITEMS) {
        error = Describe(place, "cannot read", status);
        return false;
    }
    std::wstring wideName;
    std::wstring wideData;
    DWORD type = 0;
    std::set<std::wstring> seen;
    for (DWORD index = 0;; ++index) {
        status = EnumValue(key, index, wideName, type, wideData);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        if (status != ERROR_SUCCESS) {
            error = Describe(place, "cannot read", status);
            return false;
        }
        // Readers take no lock: a value that a writer adds meanwhile moves the others on, and one
        // may come twice.
        if (!seen.insert(wideName).second) {
            continue;
        }
        std::string name;
        std::string data;
        if (!Narrow(wideName, name)) {
            return Fault(place + ": value " + Shown(wideName), "name has " + NotHeld(), error);
        }
        const std::string value = place + ": value " + name;
        if (type != REG_SZ) {
            return Fault(value, "type " + std::to_string(type) + ", not REG_SZ", error);
        }
        // Each character takes a byte at least.
        if (wideData.size() > kMaxValueLength) {
            return Fault(value, "longer than 255 bytes", error);
        }
        if (!Narrow(wideData, data)) {
            return Fault(value, NotHeld(), error);
        }
        product.values.emplace_back(std::move(name), std::move(data));
    }
}

// A missing Products key is an empty layer.
bool ReadLayer(const Place& place, ini::Document& doc, std::string& error) {
    platform::ScopedKey products;
    LSTATUS status = RegOpenKeyExA(place.root, place.subKey, 0, KEY_READ | kView, products.Out());
    if (status == ERROR_FILE_NOT_FOUND) {
        doc = {};
        return true;
    }
    if (status != ERROR_SUCCESS) {
        error = Describe(place.path, "cannot open", status);
        return false;
    }
    std::vector<ProductKey> keys;
    std::set<std::wstring> seen;  // as for values: a key may come twice
    for (DWORD index = 0;; ++index) {
        // Key names have at most 255 characters.
        wchar_t name[256];
        DWORD size = 256;
        status =
            RegEnumKeyExW(products.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS) {
            error = Describe(place.path, "cannot read", status);
            return false;
        }
        ProductKey product;
        if (!seen.emplace(name, size).second) {
            continue;
        }
        if (!Narrow({name, size}, product.id)) {
            return Fault(place.path + "\\" + Shown({name, size}), "name has " + NotHeld(), error);
        }
        const std::string where = place.path + "\\" + product.id;
        platform::ScopedKey key;
        status = RegOpenKeyExW(products.Get(), name, 0, KEY_READ | kView, key.Out());
        // Readers take no lock: a product removed meanwhile is simply gone.
        if (status == ERROR_FILE_NOT_FOUND) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            error = Describe(where, "cannot open", status);
            return false;
        }
        if (!ReadProduct(key.Get(), where, product, error)) {
            return false;
        }
        keys.push_back(std::move(product));
    }
    return BuildLayer(place.path, keys, doc, error);
}

std::string UserSid() {
    platform::ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    char* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return {};
    }
    const platform::ScopedLocal owned(text);
    return text;
}

// Writers of the machine-wide layer are administrators or services, possibly in other sessions;
// writers of the user's layer are that user's processes, elevated or not. Each mutex grants only
// them access, so nobody else can hold it or block its creation.
class WriteLock {
  public:
    bool Acquire(Layer layer, std::string& error) {
        std::string name = "Global\\vlregut-system-store";
        std::string access = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";
        if (layer == Layer::User) {
            const std::string sid = UserSid();
            if (sid.empty()) {
                error = "cannot identify the user: " + SystemMessage(GetLastError());
                return false;
            }
            name = "Local\\vlregut-user-store-" + sid;
            access = "D:P(A;;GA;;;" + sid + ")";
        }
        SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
                access.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
            error = name + ": cannot create lock: " + SystemMessage(GetLastError());
            return false;
        }
        const platform::ScopedLocal descriptor(attributes.lpSecurityDescriptor);
        *m_mutex.Out() =
            CreateMutexExA(&attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
        if (m_mutex.Get() == nullptr) {
            error = name + ": cannot create lock: " + SystemMessage(GetLastError());
            return false;
        }
        // An abandoned mutex is still ours: its holder died between two atomic value writes.
        const auto wait = std::chrono::milliseconds(kLockWait).count();
        const DWORD waited = WaitForSingleObject(m_mutex.Get(), static_cast<DWORD>(wait));
        m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (waited == WAIT_TIMEOUT) {
            error = name + ": another process holds the lock; gave up after " +
                    std::to_string(kLockWait.count()) + " seconds";
        } else if (!m_held) {
            error = name + ": cannot lock: " + SystemMessage(GetLastError());
        }
        return m_held;
    }

    WriteLock() = default;
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    ~WriteLock() {
        if (m_held) {
            ReleaseMutex(m_mutex.Get());
        }
    }

  private:
    platform::ScopedHandle m_mutex;
    bool m_held = false;
};

bool WriteProduct(HKEY products, const std::string& product, const ini::Document& before,
                  const ini::Document& after, const std::string& place, std::string& error) {
    const bool existed = ini::FindSection(before, product).has_value();
    const ini::Entries wanted = ini::EntriesOf(after, product);
    const ini::Entries old = ini::EntriesOf(before, product);
    // Edits keep spelling and order, so an untouched product compares equal.
    if (existed && wanted == old) {
        return true;
    }
    const std::string where = place + "\\" + product;
    // A name the registry folds together with an existing one (a non-ASCII letter in the other
    // case) would silently change that key or value instead of adding a new one.
    const std::string clash = "the registry has it under a spelling that differs beyond A-Z case";
    platform::ScopedKey key;
    DWORD disposition = 0;
    if (const LSTATUS status = RegCreateKeyExA(products, product.c_str(), 0, nullptr, 0,
                                               KEY_QUERY_VALUE | KEY_SET_VALUE | kView, nullptr,
                                               key.Out(), &disposition);
        status != ERROR_SUCCESS) {
        error = Describe(where, "cannot create", status);
        return false;
    }
    if (!existed && disposition == REG_OPENED_EXISTING_KEY) {
        return Fault(where, clash, error);
    }
    for (const auto& [name, value] : wanted) {
        const auto previous = ini::FindValue(before, product, name);
        if (previous == value) {
            continue;
        }
        if (!previous && RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr,
                                          nullptr) == ERROR_SUCCESS) {
            return Fault(where + ": value " + name, clash, error);
        }
        if (const LSTATUS status = RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                                                  reinterpret_cast<const BYTE*>(value.c_str()),
                                                  static_cast<DWORD>(value.size() + 1));
            status != ERROR_SUCCESS) {
            error = Describe(where + ": value " + name, "cannot set", status);
            return false;
        }
    }
    for (const auto& [name, value] : old) {
        if (ini::FindValue(after, product, name)) {
            continue;
        }
        if (const LSTATUS status = RegDeleteValueA(key.Get(), name.c_str());
            status != ERROR_SUCCESS) {
            error = Describe(where + ": value " + name, "cannot delete", status);
            return false;
        }
    }
    return true;
}

// Only what differs is written, each value on its own: the registry replaces one value
// atomically, and one edit of the library or the tool changes at most one value or one key.
bool WriteChanges(const Place& place, const ini::Document& before, const ini::Document& after,
                  std::string& error) {
    platform::ScopedKey products;
    if (const LSTATUS status =
            RegCreateKeyExA(place.root, place.subKey, 0, nullptr, 0, KEY_READ | KEY_WRITE | kView,
                            nullptr, products.Out(), nullptr);
        status != ERROR_SUCCESS) {
        error = Describe(place.path, "cannot create", status);
        return false;
    }
    for (const std::string& product : ini::Sections(before)) {
        if (ini::FindSection(after, product)) {
            continue;
        }
        if (const LSTATUS status = RegDeleteKeyExA(products.Get(), product.c_str(), kView, 0);
            status != ERROR_SUCCESS) {
            error = Describe(place.path + "\\" + product, "cannot delete", status);
            return false;
        }
    }
    for (const std::string& product : ini::Sections(after)) {
        if (!WriteProduct(products.Get(), product, before, after, place.path, error)) {
            return false;
        }
    }
    return true;
}

class Win32Store final : public Store {
  public:
    Result Read(Layer layer, Snapshot& doc) override {
        auto read = std::make_shared<ini::Document>();
        doc = read;
        std::string error;
        return ReadLayer(PlaceOf(layer), *read, error) ? Result{} : Failure(error);
    }

    Result Update(Layer layer, const Edit& edit) override {
        const Place place = PlaceOf(layer);
        WriteLock lock;
        ini::Document before;
        std::string error;
        if (!lock.Acquire(layer, error) || !ReadLayer(place, before, error)) {
            return Failure(error);
        }
        ini::Document after = before;
        if (!edit(after)) {
            return {};
        }
        // The writer looks up every product of the edited document, which an edit leaves to be
        // searched line by line (10,000 products: seconds); parsed again, each is found at once.
        ini::Document edited;
        const bool parsed = !ini::Parse(ini::Serialise(after), edited);
        if (!WriteChanges(place, before, parsed ? edited : after, error)) {
            return Failure(error);
        }
        return {};
    }

    std::string Location(Layer layer, std::string_view product) override {
        std::string key = PlaceOf(layer).path;
        return product.empty() ? key : key.append("\\").append(product);
    }
};

}  // namespace

std::unique_ptr<Store> OpenDefaultStore() {
    return std::make_unique<Win32Store>();
}

bool StartsDoubleByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != 0;
}

void Diagnose(std::string_view line) {
    std::string text = platform::Printable(line);
    text += '\n';
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    OutputDebugStringA(text.c_str());
}

const char* LayerLocations() {
    return "The user's layer is the registry key\n"
           "HKEY_CURRENT_USER\\Software\\vlregut\\Products; the machine-wide layer is\n"
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products (64-bit view). Each product is a\n"
           "subkey, each entry a REG_SZ value.\n";
}

}  // namespace vlregut
