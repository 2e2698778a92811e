#pragma once

#include "platform/framework.h"

class CTheApp : public CWinApp {
  public:
    // Runs the help session and answers FALSE, so that the application ends without a message
    // loop.
    BOOL InitInstance() override;
};
