// The POSIX shell's codes for a document the file system cannot give (decided before GIO is
// asked) and for GIO's failures: an error the user cannot act on must not read as out of memory.
#include <gio/gio.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <tuple>

#include "platform/posix/shell.h"
#include "support/files.h"

namespace {

using namespace platform;

// No application or MIME type: the whole launch runs. A main context not released keeps a
// descriptor; the last one may still be on its way out on GIO's worker thread.
TEST(Shell, AnswersTheFileSystemAndGioAndKeepsNothing) {
    const support::TempFolder folder;
    g_setenv("XDG_DATA_HOME", folder.Path().c_str(), TRUE);
    g_setenv("XDG_DATA_DIRS", folder.Path().c_str(), TRUE);
    EXPECT_EQ(GioShell().OpenDocument(folder / "guide.pdf"), kShellFileNotFound);
    const std::string document = folder.Write("guide.pdf", "%PDF");
    EXPECT_EQ(GioShell().OpenDocument(document + "/x"), kShellPathNotFound);
    EXPECT_EQ(GioShell().OpenDocument(document), kShellNoAssociation);
    const auto before = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    for (int launch = 0; launch < 3; ++launch) {
        EXPECT_EQ(GioShell().OpenDocument(document), kShellNoAssociation);
    }
    EXPECT_LE(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}), before + 1);
}

const std::tuple<GQuark, int, int> kRows[] = {  // GLib's domain (0: errno of stat), code, ours
    {0, EACCES, kShellAccessDenied},
    {0, ENOMEM, kShellNotEnoughMemory},
    {0, EIO, kShellDdeFailed},
    {G_IO_ERROR, G_IO_ERROR_NOT_FOUND, kShellFileNotFound},
    {G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, kShellAccessDenied},
    {G_IO_ERROR, G_IO_ERROR_CANCELLED, kShellDdeFailed},  // the desktop did not answer in time
    {G_SPAWN_ERROR, G_SPAWN_ERROR_NOMEM, kShellNotEnoughMemory},
    {G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT, kShellAssociationIncomplete},
    {G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY, kShellDdeFailed}};

TEST(Shell, AnswersEachErrorItsCode) {
    for (const auto& [domain, code, result] : kRows) {
        EXPECT_EQ(domain ? ShellResultForGioError(domain, code) : ShellResultForMissing("/", code),
                  result)
            << code;
    }
}

}  // namespace
