// Text as the desktop's dialog methods hand it on.
#include <glib.h>

#include <cctype>

#include "platform/posix/dialog_methods.h"

namespace platform {

CString ValidUtf8(const CString& text) {
    g_autofree gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
    return valid;
}

CString CaseBlindPattern(const CString& pattern) {
    CString glob;
    for (const char c : pattern) {
        const int lower = std::tolower(static_cast<unsigned char>(c));
        const int upper = std::toupper(static_cast<unsigned char>(c));
        if (lower == upper) {
            glob += c;
        } else {
            glob += {'[', static_cast<char>(lower), static_cast<char>(upper), ']'};
        }
    }
    return glob;
}

}  // namespace platform
