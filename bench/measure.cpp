// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a command and prints what it cost: wall seconds, user and system CPU
// seconds, peak resident memory in KiB, and its exit status, on one line.
// Kept tiny (no Qt), because a child's peak memory as the kernel reports it
// is at least the parent's size when it started the child: the benchmark
// scripts measure other programs through this one, not from a large process.
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s COMMAND [ARGS...]\n", argv[0]);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0)
    return 2;
  if (pid == 0) {
    ::execvp(argv[1], argv + 1);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  std::printf("%.4f %.4f %.4f %ld %d\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime),
              usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
