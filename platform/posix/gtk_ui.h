#pragma once

#include "platform/user_interface.h"

namespace platform {

// The dialogs of GTK 3. The library is loaded when the first one is shown, so a session that
// shows none never loads it and a machine without it still runs; both answer
// Unavailable when it cannot be loaded, cannot open the display, or the file chooser's
// settings schema is not installed (without it GTK would end the process).
class GtkUserInterface : public UserInterface {
  public:
    DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) override;
    // GTK's open chooser has no file-name box, so the request's file name is not shown.
    DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;

  private:
    bool Ready();

    enum class State { kUntried, kReady, kFailed } m_state = State::kUntried;
};

}  // namespace platform
