// Stands in for zenity and kdialog: records each call's arguments in $FAKE_TOOL_DIR/call<N>
// (each ended by NUL) and answers with the N-th of $FAKE_TOOL_ANSWERS, or the last:
// "<exit code>[:<standard output>]" separated by '|', "kill" for being killed.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const char* dir = std::getenv("FAKE_TOOL_DIR");
    const char* answers = std::getenv("FAKE_TOOL_ANSWERS");
    if (dir == nullptr || answers == nullptr) {
        return 100;
    }
    std::size_t call = 0;
    while (access((std::string(dir) + "/call" + std::to_string(call)).c_str(), F_OK) == 0) {
        ++call;
    }
    std::ofstream record(std::string(dir) + "/call" + std::to_string(call), std::ios::binary);
    for (int i = 0; i < argc; ++i) {
        record << (i == 0 ? std::string(argv[0]).substr(std::string(argv[0]).rfind('/') + 1)
                          : argv[i])
               << '\0';
    }
    record.close();

    std::vector<std::string> list;
    std::istringstream split(answers);
    for (std::string answer; std::getline(split, answer, '|');) {
        list.push_back(answer);
    }
    const std::string answer = list.at(std::min(call, list.size() - 1));
    if (answer == "kill") {
        raise(SIGKILL);
    }
    const std::size_t colon = answer.find(':');
    if (colon != std::string::npos) {
        std::cout << answer.substr(colon + 1);
    }
    return std::stoi(answer.substr(0, colon));
}
