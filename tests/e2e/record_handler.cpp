// Stand-in document viewer: appends its process id and arguments to $SUITEHELP_E2E_RECORD, then
// lingers, so that a test can see the launcher did not wait for it; bounded, so that nothing
// stays behind for long.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* record = std::getenv("SUITEHELP_E2E_RECORD");
    std::string line = std::to_string(getpid());
    for (int i = 1; i < argc; ++i) {
        line.append(" ").append(argv[i]);
    }
    line += '\n';
    const int fd = record == nullptr ? -1 : open(record, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        return 2;
    }
    close(fd);
    sleep(10);
    return 0;
}
