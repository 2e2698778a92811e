// The framework's start-up, called by each platform's process entry.
#pragma once

// Names the application after its executable (file name without extension), hands it the
// command tail and calls its InitInstance once. There is no message loop; the answer is the
// process's exit status.
int AfxWinMain(const char* executableName, const char* commandTail);

// The text that --help (the usage) or --version asks for when it is the command tail's only
// argument; null for every other tail, which starts a help session. The entry shows the text
// where the user who typed the command reads it and ends with status 0.
const char* HelpOrVersionText(const char* commandTail);
