// The C runtime's ASCII string helpers, with their Windows semantics.
#pragma once

namespace platform {

// Compares two texts, ASCII letters without regard to case; <0, 0 or >0.
int _stricmp(const char* a, const char* b);

// Turns ASCII capitals into small letters in place; every other byte stays.
char* _strlwr(char* text);

}  // namespace platform
