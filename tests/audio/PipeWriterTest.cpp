// SPDX-License-Identifier: GPL-3.0-or-later
// The rig's FIFO writer on a FIFO of the test's own, with no sound server:
// it must never hang a test and must not let old audio through.
#include "AudioRig.h"

#include <QTemporaryDir>
#include <gtest/gtest-spi.h>
#include <sys/stat.h>
#include <vector>

namespace {

// A FIFO held open for reading, as a sound server holds its pipe source's.
struct Fifo
{
  Fifo()
  {
    Path = Dir.filePath("pipe").toUtf8();
    EXPECT_EQ(::mkfifo(Path.constData(), 0600), 0);
    ReadFd = ::open(Path.constData(), O_RDONLY | O_NONBLOCK);
    EXPECT_GE(ReadFd, 0);
  }
  ~Fifo() { ::close(ReadFd); }

  // Reads what the FIFO holds, waiting up to ms for the first bytes.
  std::vector<std::int16_t> Take(std::size_t count, int ms)
  {
    std::vector<std::int16_t> got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && t.elapsed() < ms) {
      std::int16_t s[512];
      const ssize_t n = ::read(ReadFd, s, std::min(sizeof s, (count - got.size()) * 2));
      if (n > 0)
        got.insert(got.end(), s, s + n / 2);
      else
        QThread::msleep(2);
    }
    return got;
  }

  QTemporaryDir Dir;
  QByteArray Path;
  int ReadFd = -1;
};

std::int16_t Count(std::int64_t n)
{
  return std::int16_t(n);
}

} // namespace

// Guards against a writer that hangs its test: when the FIFO's reader holds
// it open but never reads (PipeWire's pipe source with nothing recording),
// the writer and its destructor return at once, and after the deadline the
// test fails with a message that says why.
TEST(PipeWriter, AFifoNobodyReadsFailsTheTestInsteadOfHanging)
{
  Fifo fifo;
  QElapsedTimer t;
  t.start();
  EXPECT_NONFATAL_FAILURE(
      {
        rig::PipeWriter writer(fifo.Path, Count, 300);
        // 64 KiB of FIFO fill up in under a second at real-time pace.
        ASSERT_TRUE(rig::WaitFor([&] { return writer.HasStalled(); }, 5000));
      },
      "took nothing for 300 ms");
  EXPECT_LT(t.elapsed(), 4000);

  // Stopping while the FIFO is full returns too, without any failure.
  t.restart();
  {
    Fifo full;
    rig::PipeWriter writer(full.Path, Count);
    rig::Spin(1500);
    EXPECT_FALSE(writer.HasStalled());
  }
  EXPECT_LT(t.elapsed(), 2500);
}

// Guards against stale audio: what an earlier writer left in the FIFO is
// drained, so the first samples read are the new writer's own.
TEST(PipeWriter, DrainsWhatAnEarlierWriterLeft)
{
  Fifo fifo;
  {
    rig::PipeWriter earlier(fifo.Path, [](std::int64_t) { return std::int16_t(-5000); });
    ASSERT_TRUE(rig::WaitFor([&] { return earlier.Written() > 4000; }, 3000));
  }
  rig::PipeWriter writer(fifo.Path, Count);
  const auto got = fifo.Take(2000, 3000);
  ASSERT_EQ(got.size(), 2000u);
  for (std::size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i], Count(std::int64_t(i))) << "sample " << i;
}
