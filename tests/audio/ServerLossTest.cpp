// SPDX-License-Identifier: GPL-3.0-or-later
// Capture when the sound server dies. Runs against a server of its own
// (started with scripts/audio-rig under a separate state file) so the shared
// rig survives; this must happen before the process first talks to a server.
// The server is of the shared rig's kind, and the one killed is the one the
// reader talks to: pulseaudio, or pipewire-pulse on PipeWire.
#include "AudioRig.h"
#include "audio/Waveread.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <sys/types.h>

using namespace duv;

namespace {

const QString RigScript = QStringLiteral(DUVOVOVI_SOURCE_DIR "/scripts/audio-rig");

bool RunRig(const QString& state, const QStringList& command, QString* out = nullptr)
{
  QProcess p;
  auto env = QProcessEnvironment::systemEnvironment();
  env.insert("AUDIO_RIG_STATE", state);
  p.setProcessEnvironment(env);
  p.start(RigScript, command);
  if (!p.waitForFinished(20000) || p.exitCode() != 0)
    return false;
  if (out)
    *out = QString::fromUtf8(p.readAllStandardOutput());
  return true;
}

} // namespace

// Guards against a hang or a crash when the server dies mid-capture: the
// reader ends Idle with a message, the process lives on, and a new Start
// fails with a message instead of hanging.
TEST(WaveReaderServerLoss, KillingTheServerLeavesTheReaderIdle)
{
  QTemporaryDir dir;
  const QString state = dir.filePath("rig-state");
  const bool pipewire = rig::OnPipeWire();
  const QString server = pipewire ? "pipewire-pulse" : "pulseaudio";
  QString env;
  if (!RunRig(state, pipewire ? QStringList{"start", "--pipewire"} : QStringList{"start"}) ||
      !RunRig(state, {"env"}, &env))
    GTEST_SKIP() << "cannot start a private sound server (is " << server.toStdString()
                 << " installed?)";
  for (const QString& line : env.split('\n', Qt::SkipEmptyParts)) {
    const QString assignment = line.section(' ', 1); // "export K=V"
    qputenv(assignment.section('=', 0, 0).toUtf8(), assignment.section('=', 1).toUtf8());
  }
  struct StopServer
  {
    QString State;
    ~StopServer() { RunRig(State, {"stop"}); }
  } stopAtEnd{state};
  const QString rundir = QFileInfo(qEnvironmentVariable("DUVOVOVI_RIG_PIPE")).path();

  rig::MessageLog log;
  rig::PipeWriter writer(rig::Tone(1000));
  TWaveReader reader;
  ASSERT_EQ(reader.Device().description(), "RigPipe");
  reader.SetWaveType(wf44Khz_Stereo_16Bit);
  reader.SetSampleCount(1024);
  int buffers = 0;
  reader.OnWaveIn = [&](TWaveReader*, const void*, int, const TWaveDataFormat&) { ++buffers; };
  reader.Start();
  ASSERT_TRUE(reader.IsActive());
  ASSERT_TRUE(rig::WaitFor([&] { return buffers >= 4; }, 5000));

  // Both servers leave their pid where PulseAudio keeps it.
  QFile pidFile(rundir + "/pulse/pid");
  ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
  const pid_t pid = QString::fromUtf8(pidFile.readAll()).trimmed().toInt();
  ASSERT_GT(pid, 0);
  QFile comm(QString("/proc/%1/comm").arg(pid));
  ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
  ASSERT_EQ(QString::fromUtf8(comm.readAll()).trimmed().toStdString(), server.toStdString());
  ASSERT_EQ(::kill(pid, SIGKILL), 0);

  EXPECT_TRUE(rig::WaitFor([&] { return !reader.IsActive(); }, 10000));
  ASSERT_EQ(log.Messages.size(), 1);
  EXPECT_TRUE(log.Messages[0].contains("RigPipe")) << log.Messages[0].toStdString();

  QElapsedTimer t;
  t.start();
  reader.Start();
  EXPECT_FALSE(reader.IsActive());
  EXPECT_EQ(log.Messages.size(), 2);
  EXPECT_LT(t.elapsed(), 5000);
}
