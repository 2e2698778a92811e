// The platform implementations the module runs on. The entry installs them before the help
// session starts; tests install fakes. Which are chosen when linking and which at run time:
// platform/README.md.
#pragma once

#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/user_interface.h"

namespace platform {

struct Services {
    UserInterface* ui = nullptr;
    Shell* shell = nullptr;
    FileSystem* files = nullptr;
};

const Services& Current();
void Install(const Services& services);

}  // namespace platform
