#include "ui_driver.h"

#include <cstdio>
#include <thread>

namespace uidriver {

namespace {

using namespace std::chrono_literals;

// Another process may be busy or hung: never wait on it for long.
constexpr UINT kSendTimeoutMs = 2000;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 result != nullptr ? result : &ignored) != 0;
}

bool SendWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
              DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 result != nullptr ? result : &ignored) != 0;
}

std::string Narrow(const std::wstring& wide) {
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 1, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

bool Matches(HWND window, const WindowQuery& query) {
    return (!query.caption || Text(window) == *query.caption) &&
           (!query.className || ClassOf(window) == *query.className);
}

void DescribeInto(HWND window, int depth, std::string& out) {
    char line[128];
    std::snprintf(line, sizeof line, "%*s[%s] id=%ld%s \"", depth * 2, "", ClassOf(window).c_str(),
                  static_cast<long>(::GetDlgCtrlID(window)),
                  ::IsWindowVisible(window) ? "" : " hidden");
    out += line + Text(window) + "\"\n";
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        DescribeInto(child, depth + 1, out);
    }
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && ::IsWindowVisible(window)) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const WindowQuery& query, std::chrono::milliseconds timeout,
                   HANDLE stopWhenSignalled) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        for (HWND window : TopLevelWindows(processId)) {
            if (Matches(window, query)) {
                return window;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline ||
            (stopWhenSignalled != nullptr &&
             ::WaitForSingleObject(stopWhenSignalled, 0) == WAIT_OBJECT_0)) {
            return nullptr;
        }
        std::this_thread::sleep_for(20ms);
    }
}

std::string Text(HWND window) {
    DWORD_PTR length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) {
        return {};
    }
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) {
        return {};
    }
    text.resize(copied < text.size() ? copied : 0);
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    const int length = ::GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string Describe(HWND window) {
    std::string out;
    DescribeInto(window, 0, out);
    return out;
}

std::vector<HWND> Children(HWND parent, const std::string& className) {
    struct Search {
        const std::string& className;
        std::vector<HWND> found;
    } search{className, {}};
    ::EnumChildWindows(
        parent,
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (ClassOf(window) == s->className) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string StaticText(HWND dialog) {
    std::string joined;
    for (HWND child : Children(dialog, "Static")) {
        const std::string text = Text(child);
        if (!text.empty()) {
            joined += (joined.empty() ? "" : "\n") + text;
        }
    }
    return joined;
}

std::vector<std::string> ComboItems(HWND combo) {
    // Wide: Wine hands a cross-process CB_GETLBTEXT of the 8-bit kind back unconverted.
    std::vector<std::string> items;
    DWORD_PTR count = 0;
    if (!Send(combo, CB_GETCOUNT, 0, 0, &count) || static_cast<LRESULT>(count) == CB_ERR) {
        return items;
    }
    for (WPARAM i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!SendWide(combo, CB_GETLBTEXTLEN, i, 0, &length) ||
            static_cast<LRESULT>(length) == CB_ERR) {
            break;
        }
        std::wstring item(length + 1, L'\0');
        SendWide(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(length);
        items.push_back(Narrow(item));
    }
    return items;
}

bool Press(HWND dialog, int id) {
    if (HWND button = ::GetDlgItem(dialog, id); button != nullptr) {
        // Posted: a click may start a nested modal loop in the other process.
        return ::PostMessageA(button, BM_CLICK, 0, 0) != 0;
    }
    return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) != 0;
}

bool Close(HWND window) {
    return ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

HWND FileNameBox(HWND dialog) {
    // The common dialogs' file name box (edt1); else the first visible Edit.
    constexpr int kFileNameId = 0x480;
    if (HWND box = ::GetDlgItem(dialog, kFileNameId); box != nullptr && ClassOf(box) == "Edit") {
        return box;
    }
    for (HWND edit : Children(dialog, "Edit")) {
        if (::IsWindowVisible(edit)) {
            return edit;
        }
    }
    return nullptr;
}

bool AnswerFileOpen(HWND dialog, const std::string& path) {
    HWND box = FileNameBox(dialog);
    return box != nullptr && Send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str())) &&
           Press(dialog, IDOK);
}

}  // namespace uidriver
