#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "support/files.h"

namespace support {

Outcome Run(const RunOptions& options) {
    const auto pointers = [](const std::vector<std::string>& strings) {
        std::vector<char*> list(strings.size() + 1);  // null-terminated
        std::ranges::transform(strings, list.begin(),
                               [](const std::string& s) { return const_cast<char*>(s.c_str()); });
        return list;
    };
    // Files, not pipes: whatever the program starts may hold its streams open after it ends.
    const TempFolder folder("support-run");
    const std::string streams[] = {folder.Write("in", options.input), folder / "out",
                                   folder / "err"};
    // The terminal's other side, read when the program has ended.
    const int terminal = options.terminal ? posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    const bool opened = terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0;
    const std::string screen = opened           ? ptsname(terminal)
                               : options.output ? options.output
                                                : streams[1];
    auto argv = pointers(options.argv);
    auto envp = pointers(options.env);
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);  // so that a timeout ends what the program started too
        for (int stream = 0; stream < 3; ++stream) {
            const int flags = stream == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
            const std::string& path = stream == 1 ? screen : streams[stream];
            dup2(open(path.c_str(), flags | O_NOCTTY | O_CLOEXEC, 0600), stream);
        }
        if (options.cwd.empty() || chdir(options.cwd.c_str()) == 0) {
            execve(argv[0], argv.data(), options.env.empty() ? environ : envp.data());
        }
        _exit(127);
    }
    Outcome result;
    if (pid < 0) {
        return result;
    }
    setpgid(pid, pid);
    int status = 0;
    pid_t ended = 0;
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 || (ended < 0 && errno == EINTR)) {
        if (std::chrono::steady_clock::now() > deadline) {
            killpg(pid, SIGKILL);
            ended = waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    result.status = ended == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = opened ? "" : ReadFile(streams[1]);
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t count; (count = read(terminal, buffer, sizeof buffer)) > 0;) {
        result.out.append(buffer, static_cast<std::size_t>(count));
    }
    close(terminal);
    result.err = ReadFile(streams[2]);
    return result;
}

std::vector<pid_t> OurChildren() {
    std::vector<pid_t> children;
    const std::string ours = "\nPPid:\t" + std::to_string(getpid()) + "\n";
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const pid_t pid = std::atoi(entry.path().filename().c_str());
        if (ReadFile(entry.path() / "status").find(ours) != std::string::npos && Running(pid)) {
            children.push_back(pid);
        }
    }
    return children;
}

bool Running(pid_t pid) {
    const pid_t reaped = waitpid(pid, nullptr, WNOHANG);
    return reaped == 0 || (reaped < 0 && kill(pid, 0) == 0);
}

}  // namespace support
