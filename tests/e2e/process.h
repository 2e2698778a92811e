// The process runner is shared by the test suites; it lives in tests/support.
#pragma once

#include "../support/process.h"
