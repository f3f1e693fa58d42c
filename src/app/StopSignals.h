// SPDX-License-Identifier: GPL-3.0-or-later
// SIGINT and SIGTERM as an ordinary Qt signal: the handler only writes a
// byte into a pipe (all a signal handler may safely do), and the event loop
// reads it and emits Stop, so whatever ends the program ends it by its
// normal path, files written and devices stopped.
#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

namespace duv {

class TStopSignals : public QObject
{
  Q_OBJECT
public:
  // Catches SIGINT and SIGTERM until destroyed, then puts back what was
  // there. A signal the program was started with ignored stays ignored: a
  // shell's background job ignores Ctrl+C meant for its foreground. One
  // object at a time.
  explicit TStopSignals(QObject* Parent = nullptr);
  ~TStopSignals() override;
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // Whether a stop signal has come (and Stop been emitted or about to be).
  bool Stopped() const { return FStopped; }

signals:
  // A stop signal came: SIGINT or SIGTERM.
  void Stop(int Signal);

private:
  void Read();

  static constexpr int Signals[2] = {SIGINT, SIGTERM};
  struct sigaction FPrevious[2] = {};
  bool FCaught[2] = {};
  int FPipe[2] = {-1, -1};
  QSocketNotifier* FNotifier = nullptr;
  bool FStopped = false;
};

} // namespace duv
