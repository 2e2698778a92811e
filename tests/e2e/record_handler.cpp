// Stand-in document viewer: records how it was started, then lingers so that a test can see
// the launcher did not wait for it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* record = std::getenv("SUITEHELP_E2E_RECORD");
    if (record == nullptr) {
        return 2;
    }
    std::string line = std::to_string(getpid());
    for (int i = 1; i < argc; ++i) {
        line += ' ';
        line += argv[i];
    }
    line += '\n';
    // One O_APPEND write keeps lines from concurrent handlers whole.
    const int fd = open(record, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        return 3;
    }
    close(fd);

    // Let go of the launcher's standard streams, which the test reads to their end.
    const int devNull = open("/dev/null", O_RDWR);
    for (int stream = 0; stream < 3; ++stream) {
        dup2(devNull, stream);
    }

    // Bounded, so a test that dies early leaves nothing behind for long.
    const std::string release = std::string(record) + ".release";
    for (int tick = 0; tick < 1000 && access(release.c_str(), F_OK) != 0; ++tick) {
        usleep(10'000);
    }
    return 0;
}
