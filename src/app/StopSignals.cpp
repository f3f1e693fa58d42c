// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StopSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace duv {

namespace {

// The write end of the pipe for the handler; -1 when no object catches.
volatile std::sig_atomic_t WriteEnd = -1;

extern "C" void OnStopSignal(int Signal)
{
  const int saved = errno;
  const int fd = WriteEnd;
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(Signal);
    // A full pipe already holds a stop that will be read.
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
  errno = saved;
}

} // namespace

TStopSignals::TStopSignals(QObject* Parent) : QObject(Parent)
{
  if (::pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    FPipe[0] = FPipe[1] = -1;
    return; // the signals keep their default: the program still ends
  }
  FNotifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, &TStopSignals::Read);
  WriteEnd = FPipe[1];
  for (int i = 0; i < 2; ++i) {
    if (::sigaction(Signals[i], nullptr, &FPrevious[i]) != 0 || FPrevious[i].sa_handler == SIG_IGN)
      continue;
    struct sigaction a = {};
    a.sa_handler = OnStopSignal;
    sigemptyset(&a.sa_mask);
    a.sa_flags = SA_RESTART;
    FCaught[i] = ::sigaction(Signals[i], &a, nullptr) == 0;
  }
}

TStopSignals::~TStopSignals()
{
  for (int i = 0; i < 2; ++i)
    if (FCaught[i])
      ::sigaction(Signals[i], &FPrevious[i], nullptr);
  WriteEnd = -1;
  for (const int fd : FPipe)
    if (fd >= 0)
      ::close(fd);
}

void TStopSignals::Read()
{
  unsigned char bytes[16];
  ssize_t n = 0;
  int last = 0;
  while ((n = ::read(FPipe[0], bytes, sizeof bytes)) > 0)
    last = bytes[n - 1];
  if (last == 0)
    return;
  FStopped = true;
  emit Stop(last);
}

} // namespace duv
