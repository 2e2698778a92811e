// The POSIX shell's codes for a document the file system cannot give (decided before GIO is
// asked) and for GIO's failures: an error the user cannot act on must not read as out of memory.
#include <gio/gio.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/posix/shell.h"
#include "support/files.h"

namespace {

using namespace platform;

TEST(Shell, TellsAMissingFileFromAMissingFolder) {
    const support::TempFolder folder;
    EXPECT_EQ(GioShell().OpenDocument(folder / "guide.pdf"), kShellFileNotFound);
    EXPECT_EQ(GioShell().OpenDocument(folder / "gone/guide.pdf"), kShellPathNotFound);
}

struct Row {
    GQuark domain;  // 0: an errno of stat
    int code;
    int result;
};

const Row kRows[] = {
    {0, ENOTDIR, kShellPathNotFound},
    {0, ELOOP, kShellPathNotFound},
    {0, ENAMETOOLONG, kShellPathNotFound},
    {0, EACCES, kShellAccessDenied},
    {0, EPERM, kShellAccessDenied},
    {0, ENOMEM, kShellNotEnoughMemory},
    {0, EIO, kShellDdeFailed},
    {G_IO_ERROR, G_IO_ERROR_NOT_FOUND, kShellFileNotFound},
    {G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, kShellAccessDenied},
    {G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED, kShellNoAssociation},
    {G_IO_ERROR, G_IO_ERROR_CANCELLED, kShellDdeFailed},  // the desktop did not answer in time
    {G_SPAWN_ERROR, G_SPAWN_ERROR_NOMEM, kShellNotEnoughMemory},
    {G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT, kShellAssociationIncomplete},
    {G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY, kShellDdeFailed},
};

TEST(Shell, AnswersEachErrorItsCode) {
    for (const Row& row : kRows) {
        EXPECT_EQ(row.domain == 0 ? ShellResultForMissing("/a", row.code)
                                  : ShellResultForGioError(row.domain, row.code),
                  row.result)
            << (row.domain == 0 ? "errno" : g_quark_to_string(row.domain)) << " " << row.code;
    }
}

}  // namespace
