#include "platform/posix/desktop_ui.h"

#include <algorithm>

#include "platform/posix/dialog_support.h"
#include "platform/posix/dialog_tool_ui.h"
#include "platform/posix/graphical_session.h"
#include "platform/posix/gtk_ui.h"

namespace platform {

DesktopUserInterface::DesktopUserInterface(std::FILE* in, std::FILE* err, const char* mode)
    : DesktopUserInterface(in, err, mode, {}, GraphicalSessionPresent) {
    m_owned.push_back(std::make_unique<GtkUserInterface>(err));
    m_owned.push_back(std::make_unique<DialogToolUserInterface>(DialogTool::kZenity, err));
    m_owned.push_back(std::make_unique<DialogToolUserInterface>(DialogTool::kKdialog, err));
    m_steps = {
        {"gtk", m_owned[0].get()}, {"zenity", m_owned[1].get()}, {"kdialog", m_owned[2].get()}};
}

DesktopUserInterface::DesktopUserInterface(std::FILE* in, std::FILE* err, const char* mode,
                                           std::vector<Step> steps, bool (*sessionPresent)())
    : m_console(in, err),
      m_err(err),
      m_mode(mode == nullptr ? "" : mode),
      m_steps(std::move(steps)),
      m_sessionPresent(sessionPresent) {}

DesktopUserInterface::~DesktopUserInterface() = default;

void DesktopUserInterface::Choose() {
    m_chosen = true;
    const auto named = std::find_if(m_steps.begin(), m_steps.end(),
                                    [&](const Step& step) { return m_mode == step.name; });
    if (named != m_steps.end()) {
        m_forced = true;
        m_steps = {*named};
    } else if (!m_mode.empty() && m_mode != "auto" && m_mode != "console") {
        std::fprintf(m_err, "suitehelp: SUITEHELP_UI=%s is unknown; choosing as for auto.\n",
                     m_mode.c_str());
    }
    if (m_mode == "console" || !m_sessionPresent()) {
        m_next = m_steps.size();
    }
}

UserInterface* DesktopUserInterface::Current() {
    if (!m_chosen) {
        Choose();
    }
    if (m_next < m_steps.size()) {
        return m_steps[m_next].ui;
    }
    if (m_forced) {
        m_forced = false;
        std::fprintf(m_err, "suitehelp: SUITEHELP_UI=%s is not available; using the console.\n",
                     m_mode.c_str());
        std::fflush(m_err);
    }
    return nullptr;
}

int DesktopUserInterface::MessageBox(const CString& text, const CString& caption, unsigned type) {
    m_console.MessageBox(text, caption, type);
    for (UserInterface* ui; (ui = Current()) != nullptr; ++m_next) {
        if (ui->MessageBox(text, caption, type) != kDialogUnavailable) {
            break;
        }
    }
    return kDialogConfirmed;
}

int DesktopUserInterface::ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) {
    for (UserInterface* ui; (ui = Current()) != nullptr; ++m_next) {
        const int result = ui->ShowFileOpen(request, chosenPath);
        if (result != kDialogUnavailable) {
            return result;
        }
    }
    return m_console.ShowFileOpen(request, chosenPath);
}

}  // namespace platform
