#include "platform/posix/shell.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/diagnostics.h"

namespace platform {

namespace {

// Long enough for a viewer started through D-Bus activation to answer; the process must still
// end if the desktop never does.
constexpr guint kLaunchTimeoutSeconds = 15;

struct Launch {
    GError* error = nullptr;
    bool done = false;
};

void OnLaunched(GObject* /*source*/, GAsyncResult* asyncResult, gpointer data) {
    auto* launch = static_cast<Launch*>(data);
    g_app_info_launch_default_for_uri_finish(asyncResult, &launch->error);
    launch->done = true;
}

gboolean OnTimeout(gpointer cancellable) {
    g_cancellable_cancel(static_cast<GCancellable*>(cancellable));
    return G_SOURCE_REMOVE;
}

// Called only when debugging, so that a silent session builds no text.
void TellResult(const std::string& why, int result) {
    DebugStep("launch result: " + why + " -> shell code " + std::to_string(result));
}

}  // namespace

int ShellResultForMissing(const CString& path, int error) {
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

int ShellResultForGioError(std::uint32_t domain, int code) {
    if (domain == G_IO_ERROR) {
        switch (code) {
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
    if (domain == G_SPAWN_ERROR) {
        // The associated application is registered but cannot be started.
        return code == G_SPAWN_ERROR_NOMEM ? kShellNotEnoughMemory : kShellAssociationIncomplete;
    }
    return kShellDdeFailed;
}

int GioShell::OpenDocument(const CString& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) {
        const int error = errno;
        const int result = ShellResultForMissing(path, error);
        if (Debugging()) {
            TellResult(path + ": " + std::strerror(error), result);
        }
        return result;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        if (Debugging()) {
            TellResult(path + ": " + std::strerror(errno), kShellAccessDenied);
        }
        return kShellAccessDenied;
    }

    g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
    g_autofree gchar* uri = g_file_get_uri(file);
    if (Debugging()) {
        DebugStep(std::string("launch: ") + uri);
    }

    // The launch completes on a context of its own, so that it is done before the process ends;
    // the timeout cancels it if the desktop never answers.
    g_autoptr(GMainContext) context = g_main_context_new();
    [[maybe_unused]] g_autoptr(GMainContextPusher) pushed = g_main_context_pusher_new(context);
    g_autoptr(GCancellable) cancellable = g_cancellable_new();
    g_autoptr(GSource) timeout = g_timeout_source_new_seconds(kLaunchTimeoutSeconds);
    g_source_set_callback(timeout, OnTimeout, cancellable, nullptr);
    g_source_attach(timeout, context);

    Launch launch;
    g_app_info_launch_default_for_uri_async(uri, nullptr, cancellable, OnLaunched, &launch);
    while (!launch.done) {
        g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(timeout);

    g_autoptr(GError) error = launch.error;
    if (error == nullptr) {
        DebugStep("launch result: handed over");
        return kShellHandedOver;
    }
    const int result = ShellResultForGioError(error->domain, error->code);
    if (Debugging()) {
        TellResult(std::string("GIO error ") + g_quark_to_string(error->domain) + " " +
                       std::to_string(error->code) + ": " + error->message,
                   result);
    }
    return result;
}

}  // namespace platform
