#include "run_program.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Reads both pipes until the program has closed them.
void drain(int out_fd, int err_fd, ProgramRun* run)
{
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* into[2] = {&run->out, &run->err};
    int open_count = 2;
    char buf[65536];
    while (open_count > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
                continue;
            }
            into[i]->append(buf, (size_t)n);
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0)
            close(p.fd);
}

}  // namespace

int run_program(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env, ProgramRun* run,
                std::string* error)
{
    *run = ProgramRun();
    if (argv.empty()) {
        *error = "no program to run";
        return 0;
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& x : extra_env) {
            size_t eq = x.find('=');
            if (eq != std::string::npos && strncmp(*e, x.c_str(), eq + 1) == 0)
                replaced = true;
        }
        if (!replaced)
            env.push_back(*e);
    }
    for (const std::string& x : extra_env)
        env.push_back(const_cast<char*>(x.c_str()));
    env.push_back(nullptr);

    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        *error = std::string("cannot run ") + argv[0] + ": " + strerror(errno);
        return 0;
    }
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        *error = std::string("cannot run ") + argv[0] + ": " + strerror(errno);
        close(out_pipe[0]);
        close(out_pipe[1]);
        return 0;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (rc != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        *error = std::string("cannot run ") + argv[0] + ": " + strerror(rc) +
                 (rc == ENOENT ? " (is it installed? scripts/deps.sh installs it)" : "");
        return 0;
    }
    drain(out_pipe[0], err_pipe[0], run);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run->exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return 1;
}
