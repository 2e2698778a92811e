// The framework's start-up, called by each platform's process entry.
#pragma once

// Names an application constructed without a name after its executable (file name without
// extension), hands it the command tail and calls its InitInstance once. There is no message
// loop; the answer is the process's exit status.
int AfxWinMain(const char* executableName, const char* commandTail);
