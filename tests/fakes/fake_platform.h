// Fakes of the platform interfaces and of the install-registry component, recording what the
// core asks of them.
#pragma once

#include <map>
#include <set>
#include <vector>

#include "platform/crt.h"
#include "platform/framework.h"
#include "platform/services.h"

struct ShownMessage {
    CString text;
    CString caption;
    unsigned type;
    bool operator==(const ShownMessage&) const = default;
};

class FakeUserInterface : public platform::UserInterface {
  public:
    platform::DialogResult MessageBox(const CString& text, const CString& caption,
                                      unsigned type) override {
        messages.push_back({text, caption, type});
        return platform::DialogResult::Confirmed;
    }
    platform::DialogResult ShowFileOpen(const platform::FileOpenRequest& request,
                                        CString* chosenPath) override {
        dialogs.push_back(request);
        *chosenPath = chosen;
        return chosen.empty() ? platform::DialogResult::Cancelled
                              : platform::DialogResult::Confirmed;
    }

    std::vector<ShownMessage> messages;
    std::vector<platform::FileOpenRequest> dialogs;
    CString chosen;  // the user's answer to the next dialogs; empty: cancelled
};

class FakeShell : public platform::Shell {
  public:
    int OpenDocument(const CString& path) override {
        opened.push_back(path);
        return platform::kShellHandedOver;
    }

    std::vector<CString> opened;
};

// A Windows file system: backslash or slash separate, drive letters, names without regard to
// case.
class WindowsFileSystem : public platform::FileSystem {
  public:
    char Separator() const override { return '\\'; }
    void FoldCase(CString& joinedPath) const override { platform::_strlwr(joinedPath.data()); }
    int Access(const char* path) const override;
    CString NameOnDisk(const CString& path) const override { return path; }
    bool SplitPath(const char* path, char* drive, char* dir, char* fname, char* ext) const override;

    void AddFile(const CString& path);  // and its folders

  private:
    std::set<CString> m_entries;  // lower case
};

// The install registry as the core sees it: product ids and entry names without regard to case.
struct FakeRegistry {
    std::map<CString, CString> docsDirs;  // lower-case product id -> DocsDir
    bool refuseSet = false;
    std::vector<CString> calls;  // "init <id>", "get <entry>", "set <entry> <value>"
    CString selected;
};

FakeRegistry& Registry();

// Installs fresh fakes for one test and removes them afterwards.
class FakePlatform {
  public:
    FakePlatform();
    ~FakePlatform();

    FakeUserInterface ui;
    FakeShell shell;
    WindowsFileSystem files;
    FakeRegistry& registry = Registry();
};
