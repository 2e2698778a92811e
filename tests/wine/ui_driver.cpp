#include "ui_driver.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

namespace uidriver {
namespace {

// Another process may be busy or hung: never wait on it for long.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr,
          bool wide = false) {
    DWORD_PTR ignored = 0;
    return (wide ? ::SendMessageTimeoutW : ::SendMessageTimeoutA)(
               window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000,
               result != nullptr ? result : &ignored) != 0;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    return std::string(name, std::max(::GetClassNameA(window, name, sizeof name), 0));
}

// The top-level windows (parent nullptr) or the descendants that `keep` keeps.
std::vector<HWND> Windows(HWND parent, const std::function<bool(HWND)>& keep) {
    struct Search {
        const std::function<bool(HWND)>& keep;
        std::vector<HWND> found;
    } search{keep, {}};
    const WNDENUMPROC collect = [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (s->keep(window)) {
            s->found.push_back(window);
        }
        return TRUE;
    };
    if (parent == nullptr) {
        ::EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    } else {
        ::EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
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
    return Windows(nullptr, [&](HWND window) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        return owner == processId && ::IsWindowVisible(window);
    });
}

HWND WaitForWindow(DWORD processId, const std::string& caption, const std::string& className,
                   std::chrono::milliseconds timeout, HANDLE stopWhenSignalled) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        for (HWND window : TopLevelWindows(processId)) {
            if (Text(window) == caption && ClassOf(window) == className) {
                return window;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline ||
            (stopWhenSignalled != nullptr &&
             ::WaitForSingleObject(stopWhenSignalled, 0) == WAIT_OBJECT_0)) {
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string Text(HWND window) {
    DWORD_PTR length = 0;
    DWORD_PTR copied = 0;
    std::string text;
    if (Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) {
        text.resize(length + 1);
        Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied);
    }
    text.resize(copied < text.size() ? copied : 0);
    return text;
}

std::string Describe(HWND window) {
    std::string out;
    DescribeInto(window, 0, out);
    return out;
}

std::vector<HWND> Children(HWND parent, const std::string& className) {
    return Windows(parent, [&](HWND window) { return ClassOf(window) == className; });
}

std::string StaticText(HWND dialog) {
    std::string joined;
    for (HWND child : Children(dialog, "Static")) {
        const std::string text = Text(child);
        joined += (joined.empty() || text.empty() ? "" : "\n") + text;
    }
    return joined;
}

std::vector<std::string> ComboItems(HWND combo) {
    // Wide: Wine hands a cross-process CB_GETLBTEXT of the 8-bit kind back unconverted.
    std::vector<std::string> items;
    DWORD_PTR count = 0;
    DWORD_PTR length = 0;
    for (WPARAM i = 0; Send(combo, CB_GETCOUNT, 0, 0, &count) && static_cast<LRESULT>(count) > 0 &&
                       i < count && Send(combo, CB_GETLBTEXTLEN, i, 0, &length, true) &&
                       static_cast<LRESULT>(length) != CB_ERR;
         ++i) {
        std::wstring item(length + 1, L'\0');
        Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()), nullptr, true);
        std::string text(4 * length + 1, '\0');
        text.resize(::WideCharToMultiByte(CP_ACP, 0, item.c_str(), static_cast<int>(length),
                                          text.data(), static_cast<int>(text.size()), nullptr,
                                          nullptr));
        items.push_back(text);
    }
    return items;
}

bool Press(HWND dialog, int id) {
    // Posted: a click may start a nested modal loop in the other process.
    if (HWND button = ::GetDlgItem(dialog, id); button != nullptr) {
        return ::PostMessageA(button, BM_CLICK, 0, 0) != 0;
    }
    return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) != 0;
}

bool Close(HWND window) {
    return ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

HWND FileNameBox(HWND dialog) {
    // The common dialogs' file name box (edt1); else the first visible Edit.
    if (HWND box = ::GetDlgItem(dialog, 0x480); box != nullptr && ClassOf(box) == "Edit") {
        return box;
    }
    const auto edits =
        Windows(dialog, [](HWND w) { return ClassOf(w) == "Edit" && ::IsWindowVisible(w); });
    return edits.empty() ? nullptr : edits.front();
}

bool AnswerFileOpen(HWND dialog, const std::string& path) {
    HWND box = FileNameBox(dialog);
    return box != nullptr && Send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str())) &&
           Press(dialog, IDOK);
}

}  // namespace uidriver
