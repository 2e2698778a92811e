#include "platform/posix/shell.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

// Long enough for a viewer started through D-Bus activation to answer; the process must still
// end if the desktop never does.
constexpr guint kLaunchTimeoutSeconds = 15;

// The shell's codes for a document the file system cannot give.
int ResultForMissing(const CString& path, int error) {
    switch (error) {
        case ENOENT: {
            const std::size_t slash = path.rfind('/');
            const CString folder = slash == CString::npos ? "." : path.substr(0, slash + 1);
            return ::access(folder.c_str(), F_OK) == 0 ? kShellFileNotFound : kShellPathNotFound;
        }
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kShellPathNotFound;
        case EACCES:
        case EPERM:
            return kShellAccessDenied;
        case ENOMEM:
            return kShellNotEnoughMemory;
        default:
            return kShellDdeFailed;
    }
}

int ResultForError(const GError* error) {
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
            case G_IO_ERROR_NOT_FOUND:
                return kShellFileNotFound;
            case G_IO_ERROR_PERMISSION_DENIED:
                return kShellAccessDenied;
            case G_IO_ERROR_NOT_SUPPORTED:
                return kShellNoAssociation;
            default:
                return kShellDdeFailed;
        }
    }
    if (error->domain == G_SPAWN_ERROR) {
        // The associated application is registered but cannot be started.
        return error->code == G_SPAWN_ERROR_NOMEM ? kShellNotEnoughMemory
                                                  : kShellAssociationIncomplete;
    }
    return kShellDdeFailed;
}

struct Launch {
    GCancellable* cancellable;
    bool done = false;
    int result = kShellDdeFailed;
};

void OnLaunched(GObject* /*source*/, GAsyncResult* asyncResult, gpointer data) {
    auto* launch = static_cast<Launch*>(data);
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri_finish(asyncResult, &error)) {
        launch->result = kShellHandedOver;
    } else {
        launch->result = ResultForError(error);
        g_error_free(error);
    }
    launch->done = true;
}

gboolean OnTimeout(gpointer data) {
    g_cancellable_cancel(static_cast<Launch*>(data)->cancellable);
    return G_SOURCE_REMOVE;
}

}  // namespace

int GioShell::OpenDocument(const CString& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) {
        return ResultForMissing(path, errno);
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return kShellAccessDenied;
    }

    GFile* file = g_file_new_for_path(path.c_str());
    gchar* uri = g_file_get_uri(file);
    g_object_unref(file);

    // The launch completes on a context of its own, so that it is done before the process ends.
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    Launch launch{g_cancellable_new()};
    GSource* timeout = g_timeout_source_new_seconds(kLaunchTimeoutSeconds);
    g_source_set_callback(timeout, OnTimeout, &launch, nullptr);
    g_source_attach(timeout, context);

    g_app_info_launch_default_for_uri_async(uri, nullptr, launch.cancellable, OnLaunched, &launch);
    while (!launch.done) {
        g_main_context_iteration(context, TRUE);
    }

    g_source_destroy(timeout);
    g_source_unref(timeout);
    g_object_unref(launch.cancellable);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    g_free(uri);
    return launch.result;
}

}  // namespace platform
