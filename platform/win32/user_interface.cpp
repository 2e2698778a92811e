#include "platform/win32/user_interface.h"

#include <windows.h>
// after windows.h, which it builds on
#include <shobjidl.h>

#include <string>

#include "platform/win32/code_page.h"
#include "platform/win32/scoped.h"

// The interface's own MessageBox, not the header's macro for the 8-bit or wide function.
#undef MessageBox

namespace platform {

namespace {

std::wstring Widen(const CString& text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

FILEOPENDIALOGOPTIONS OptionsFor(const FileOpenRequest& request) {
    FILEOPENDIALOGOPTIONS options = FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
    if (request.fileMustExist) {
        options |= FOS_FILEMUSTEXIST;
    }
    return options;
}

DialogResult ShowDialog(const FileOpenRequest& request, CString* chosenPath) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog)))) {
        return DialogResult::Cancelled;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | OptionsFor(request));

    const std::wstring title = Widen(request.title);
    const std::wstring filterLabel = Widen(request.filterLabel);
    const std::wstring filterPattern = Widen(request.filterPattern);
    const COMDLG_FILTERSPEC filter{filterLabel.c_str(), filterPattern.c_str()};
    dialog->SetTitle(title.c_str());
    dialog->SetFileTypes(1, &filter);
    dialog->SetDefaultExtension(Widen(request.defaultExt).c_str());
    dialog->SetFileName(Widen(request.fileName).c_str());
    if (!request.initialDir.empty()) {
        ComPtr<IShellItem> folder;
        if (SUCCEEDED(::SHCreateItemFromParsingName(Widen(request.initialDir).c_str(), nullptr,
                                                    IID_IShellItem,
                                                    reinterpret_cast<void**>(&folder)))) {
            dialog->SetFolder(folder.get());
        }
    }

    if (FAILED(dialog->Show(nullptr))) {
        return DialogResult::Cancelled;
    }
    ComPtr<IShellItem> item;
    PWSTR path = nullptr;
    if (FAILED(dialog->GetResult(&item)) ||
        FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        return DialogResult::Cancelled;
    }
    // A path that the code page cannot hold counts as cancelled: a substitute would name another
    // file.
    const bool representable = NarrowExactly(path, ::GetACP(), *chosenPath);
    ::CoTaskMemFree(path);
    return representable ? DialogResult::Confirmed : DialogResult::Cancelled;
}

}  // namespace

DialogResult Win32UserInterface::MessageBox(const CString& text, const CString& caption,
                                            unsigned type) {
    switch (::MessageBoxA(nullptr, text.c_str(), caption.c_str(), type)) {
        case IDOK:
            return DialogResult::Confirmed;
        case 0:  // not shown
            return DialogResult::Unavailable;
        default:
            return DialogResult::Cancelled;
    }
}

DialogResult Win32UserInterface::ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) {
    const ComApartment com(COINIT_APARTMENTTHREADED);
    return ShowDialog(request, chosenPath);
}

}  // namespace platform
