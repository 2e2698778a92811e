#include "platform/services.h"

namespace platform {

namespace {
Services g_services;
}

const Services& Current() {
    return g_services;
}

void Install(const Services& services) {
    g_services = services;
}

}  // namespace platform
