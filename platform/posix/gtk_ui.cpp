// GTK 3's dialogs, the first of the dialog methods.
#include <dlfcn.h>
#include <gio/gio.h>

#include <clocale>

#include "platform/diagnostics.h"
#include "platform/posix/dialog_methods.h"

namespace platform {

namespace {

// The few GTK entry points used, declared here so that building needs no GTK headers; GTK's
// objects are opaque.
struct GtkApi {
    void (*disableSetlocale)();
    int (*initCheck)(int*, char***);
    void* (*fileChooserNativeNew)(const char*, void*, int, const char*, const char*);
    int (*nativeDialogRun)(void*);
    int (*fileChooserSetCurrentFolder)(void*, const char*);
    void (*fileChooserAddFilter)(void*, void*);
    char* (*fileChooserGetFilename)(void*);
    void* (*fileFilterNew)();
    void (*fileFilterSetName)(void*, const char*);
    void (*fileFilterAddPattern)(void*, const char*);
    void* (*messageDialogNew)(void*, int, int, int, const char*, ...);
    void (*windowSetTitle)(void*, const char*);
    void (*windowSetPosition)(void*, int);
    int (*dialogRun)(void*);
    void (*widgetDestroy)(void*);
};

// GTK's enumerations, stable since GTK 3.0.
constexpr int kActionOpen = 0;
constexpr int kResponseAccept = -3;
constexpr int kDialogModal = 1;
constexpr int kMessageOther = 4;
constexpr int kButtonsOk = 1;
constexpr int kPositionCenter = 1;

GtkApi g_gtk;

template <typename Function>
bool Bind(void* library, const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(::dlsym(library, name));
    return function != nullptr;
}

bool Load() {
    // Never unloaded: GTK cannot be.
    void* gtk = ::dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
    return gtk != nullptr && Bind(gtk, "gtk_disable_setlocale", g_gtk.disableSetlocale) &&
           Bind(gtk, "gtk_init_check", g_gtk.initCheck) &&
           Bind(gtk, "gtk_file_chooser_native_new", g_gtk.fileChooserNativeNew) &&
           Bind(gtk, "gtk_native_dialog_run", g_gtk.nativeDialogRun) &&
           Bind(gtk, "gtk_file_chooser_set_current_folder", g_gtk.fileChooserSetCurrentFolder) &&
           Bind(gtk, "gtk_file_chooser_add_filter", g_gtk.fileChooserAddFilter) &&
           Bind(gtk, "gtk_file_chooser_get_filename", g_gtk.fileChooserGetFilename) &&
           Bind(gtk, "gtk_file_filter_new", g_gtk.fileFilterNew) &&
           Bind(gtk, "gtk_file_filter_set_name", g_gtk.fileFilterSetName) &&
           Bind(gtk, "gtk_file_filter_add_pattern", g_gtk.fileFilterAddPattern) &&
           Bind(gtk, "gtk_message_dialog_new", g_gtk.messageDialogNew) &&
           Bind(gtk, "gtk_window_set_title", g_gtk.windowSetTitle) &&
           Bind(gtk, "gtk_window_set_position", g_gtk.windowSetPosition) &&
           Bind(gtk, "gtk_dialog_run", g_gtk.dialogRun) &&
           Bind(gtk, "gtk_widget_destroy", g_gtk.widgetDestroy);
}

// GTK's file chooser ends the process when its settings schema cannot be found, as with an
// XDG_DATA_DIRS that lacks the system's folder; GIO tells beforehand.
bool FileChooserSchemaFound() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) {
        return false;
    }
    g_autoptr(GSettingsSchema) schema =
        g_settings_schema_source_lookup(source, "org.gtk.Settings.FileChooser", TRUE);
    return schema != nullptr;
}

// Takes a closed window off the screen now rather than at exit. Bounded: GTK may keep sources
// ready.
void Settle() {
    for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

}  // namespace

bool GtkReady() {
    // Once: GTK cannot be loaded or started twice.
    static const bool ready = [] {
        const char* failure = nullptr;
        if (!FileChooserSchemaFound()) {
            failure = "no file chooser settings schema";
        } else if (!Load()) {
            failure = "cannot load libgtk-3.so.0";
        } else {
            // The core's text rules stay those of the C locale; only GTK's own labels follow the
            // user's language.
            g_gtk.disableSetlocale();
            std::setlocale(LC_MESSAGES, "");
            if (!g_gtk.initCheck(nullptr, nullptr)) {
                failure = "cannot open the display";
            }
        }
        if (failure != nullptr && Debugging()) {
            DebugStep(CString("dialog: gtk unavailable (") + failure + ")");
        }
        return failure == nullptr;
    }();
    return ready;
}

DialogResult GtkMessageBox(const CString& text, const CString& caption) {
    // Plain text: gtk_message_dialog_new does not read markup.
    void* dialog = g_gtk.messageDialogNew(nullptr, kDialogModal, kMessageOther, kButtonsOk, "%s",
                                          ValidUtf8(text).c_str());
    g_gtk.windowSetTitle(dialog, ValidUtf8(caption).c_str());
    // Without an owner window to centre on.
    g_gtk.windowSetPosition(dialog, kPositionCenter);
    g_gtk.dialogRun(dialog);
    g_gtk.widgetDestroy(dialog);
    Settle();
    return DialogResult::Confirmed;
}

DialogResult GtkAsk(const FileOpenRequest& request, CString* answer) {
    void* chooser = g_gtk.fileChooserNativeNew(ValidUtf8(request.title).c_str(), nullptr,
                                               kActionOpen, nullptr, nullptr);
    if (!request.filterPattern.empty()) {
        void* filter = g_gtk.fileFilterNew();
        g_gtk.fileFilterSetName(filter, ValidUtf8(request.filterLabel).c_str());
        g_gtk.fileFilterAddPattern(filter, CaseBlindPattern(request.filterPattern).c_str());
        g_gtk.fileChooserAddFilter(chooser, filter);
    }
    if (!request.initialDir.empty()) {
        g_gtk.fileChooserSetCurrentFolder(chooser, request.initialDir.c_str());
    }
    if (g_gtk.nativeDialogRun(chooser) == kResponseAccept) {
        // Null for a choice that is no local file.
        g_autofree gchar* path = g_gtk.fileChooserGetFilename(chooser);
        if (path != nullptr) {
            *answer = path;
        }
    }
    g_object_unref(chooser);
    Settle();
    return answer->empty() ? DialogResult::Cancelled : DialogResult::Confirmed;
}

}  // namespace platform
