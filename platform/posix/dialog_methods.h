// The ways of asking the user on Linux, each in a file of its own; the chooser
// (user_interface.*) holds them in one table. A message box returns when the user has closed
// it; an ask gives one answer to the File-Open question, a path as typed or chosen (empty:
// cancelled). Unavailable: the method cannot show anything.
#pragma once

#include <cstdio>

#include "platform/user_interface.h"

namespace platform {

// GTK 3, loaded by the first GtkReady: a session that shows no dialog never loads it, and a
// machine without it still runs. Ready once it is loaded, has opened the display and finds the
// file chooser's settings schema (without which GTK would end the process). Its open chooser has
// no file-name box, so the request's file name is not shown.
bool GtkReady();
DialogResult GtkMessageBox(const CString& text, const CString& caption);
DialogResult GtkAsk(const FileOpenRequest& request, CString* answer);

// zenity and kdialog, programs found on PATH: Cancelled when the program ends with 1, Unavailable
// when it does not start, ends with another code than 0 or 1, or is killed. zenity's open dialog
// has no file-name box either; kdialog shows it there when the request gives a folder.
DialogResult ZenityMessageBox(const CString& text, const CString& caption);
DialogResult ZenityAsk(const FileOpenRequest& request, CString* answer);
DialogResult KdialogMessageBox(const CString& text, const CString& caption);
DialogResult KdialogAsk(const FileOpenRequest& request, CString* answer);

// The console: boxes and questions written to out, answers read as lines from in.
void UseConsole(std::FILE* in, std::FILE* out);
DialogResult ConsoleMessageBox(const CString& text, const CString& caption);
// Cancelled at the end of input, and for a line too long to name a file.
DialogResult ConsoleAsk(const FileOpenRequest& request, CString* answer);
// Tells that the path names no regular file, and how to go on.
void ConsoleRefused(const CString& path);

// The text with each invalid UTF-8 sequence replaced: the toolkits take UTF-8 only, the module's
// text is bytes.
CString ValidUtf8(const CString& text);
// A glob that matches the pattern's letters in either case, as the dialogs of the primary
// platform do.
CString CaseBlindPattern(const CString& pattern);

}  // namespace platform
