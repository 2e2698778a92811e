#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace e2e {
namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() {
        if (pipe2(fd, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    void closeEnd(int i) {
        if (fd[i] >= 0) {
            close(fd[i]);
            fd[i] = -1;
        }
    }
};

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (const auto& s : strings) {
        result.push_back(const_cast<char*>(s.c_str()));
    }
    result.push_back(nullptr);
    return result;
}

// Reads what is there without blocking; closes the end at EOF.
void drain(Pipe& p, std::string& into) {
    char buffer[4096];
    while (p.fd[0] >= 0) {
        const ssize_t n = read(p.fd[0], buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            if (n == 0) {
                p.closeEnd(0);
            }
            return;
        }
    }
}

}  // namespace

RunResult run(const RunOptions& options) {
    // The child may exit before reading all its input.
    signal(SIGPIPE, SIG_IGN);
    Pipe in, out, err;
    auto argv = pointers(options.argv);
    auto envp = pointers(options.env);

    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // Own process group, so a timeout can take down whatever the program started.
        setpgid(0, 0);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) {
            _exit(126);
        }
        dup2(in.fd[0], 0);
        dup2(out.fd[1], 1);
        dup2(err.fd[1], 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, pid);
    in.closeEnd(0);
    out.closeEnd(1);
    err.closeEnd(1);
    for (int fd : {in.fd[1], out.fd[0], err.fd[0]}) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }

    RunResult result;
    size_t written = 0;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    for (;;) {
        if (in.fd[1] >= 0) {
            const ssize_t n = written < options.input.size()
                                  ? write(in.fd[1], options.input.data() + written,
                                          options.input.size() - written)
                                  : 0;
            if (n > 0) {
                written += static_cast<size_t>(n);
            }
            if (written == options.input.size() || (n < 0 && errno != EAGAIN)) {
                in.closeEnd(1);
            }
        }
        // Output is collected after the exit too: the program's own children may hold the
        // pipes open, so end of file cannot be the signal that it is done.
        const bool exited = waitpid(pid, &status, WNOHANG) == pid;
        drain(out, result.out);
        drain(err, result.err);
        if (exited) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            killpg(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            break;
        }
        pollfd fds[] = {{out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}, {in.fd[1], POLLOUT, 0}};
        poll(fds, 3, 2);
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace e2e
