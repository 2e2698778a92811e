#pragma once

#include <string>

// Text is 8-bit throughout, in the platform's 8-bit code page.
using CString = std::string;
