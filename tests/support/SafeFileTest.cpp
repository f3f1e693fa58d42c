// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SafeFile.h"
#include "support/IniSection.h"
#include "wavefile/WavWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace duv;
using namespace duv::test;

namespace {

QByteArray contents(const QString& path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

// A 64 kB file system of its own, mounted over a temporary folder while the
// object lives (which takes root).
struct SmallDisk
{
  QTemporaryDir dir;
  QString error;
  bool mounted = false;
  SmallDisk()
  {
    mounted =
        ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=64k") == 0;
    if (!mounted)
      error = QString::fromLocal8Bit(std::strerror(errno));
  }
  ~SmallDisk()
  {
    if (mounted)
      ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
  }
  QString path(const char* name) const { return dir.filePath(name); }
  // Fills the disk with one file until Room bytes are left.
  void fillBut(qint64 Room) const
  {
    const int fd = ::open(QFile::encodeName(path("filler")).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const QByteArray block(4096, 'f');
    off_t size = ::lseek(fd, 0, SEEK_END);
    for (ssize_t n; (n = ::write(fd, block.data(), block.size())) > 0;)
      size += n;
    ASSERT_EQ(errno, ENOSPC);
    ASSERT_EQ(::ftruncate(fd, size - Room), 0);
    ::close(fd);
  }
};

} // namespace

// Guards a full disk: the last buffered bytes failed in the save file's
// commit, which renamed the temporary over the file anyway, so a file was
// replaced by an empty or cut one and the save reported success. The old
// file, the settings file and a picture of the spectrogram command each stay
// as they were, and the failure says why.
TEST(SafeFile, FullDiskLeavesTheOldFile)
{
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting a small file system to fill takes root";
  const SmallDisk disk;
  if (!disk.mounted)
    GTEST_SKIP() << "cannot mount a small file system: " << disk.error.toStdString();
  const QString keep = disk.path("keep.png"), ini = disk.path("duvovovi.ini");
  const QByteArray old(3000, 'o'), oldIni = "[Measurement]\nWeighting=A\n";
  WriteWholeFile(keep, old);
  WriteWholeFile(ini, oldIni);
  QByteArray tone;
  for (int i = 0; i < 16000; ++i)
    tone += le16(int(10000 * std::sin(i * 0.3)));
  const QString wav =
      writeTemp("tone.wav", WavBuilder().fmt(1, 8000, 16).chunk("data", tone).finish());
  const auto spectrogram = [&wav](const QString& Output) {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    run.setProcessEnvironment(env);
    run.start(DUVOVOVI_PROGRAM, {"spectrogram", wav, "-o", Output});
    run.waitForFinished(30000);
    return std::pair(run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1,
                     QString::fromLocal8Bit(run.readAllStandardError()));
  };
  // The picture is larger than the room left below.
  QTemporaryDir roomy;
  ASSERT_EQ(spectrogram(roomy.filePath("s.png")).first, 0);
  ASSERT_GT(QFileInfo(roomy.filePath("s.png")).size(), 8192);

  for (const qint64 room : {0, 8192}) {
    disk.fillBut(room);
    const QStringList files = QDir(disk.dir.path()).entryList(QDir::Files);
    try {
      WriteWholeFile(keep, QByteArray(9265, 'n'));
      ADD_FAILURE() << "written with " << room << " bytes free";
    } catch (const EFileWriteError& e) {
      EXPECT_EQ(e.Reason(), "No space left on device");
    }
    EXPECT_FALSE(SaveIniSection(ini, "Settings", {{"Geometry", QByteArray(9000, 'g')}}));
    const auto [code, err] = spectrogram(keep);
    EXPECT_NE(code, 0) << room;
    EXPECT_TRUE(err.contains("No space left on device")) << err.toStdString();
    EXPECT_TRUE(contents(keep) == old) << contents(keep).size() << " bytes, " << room << " free";
    EXPECT_TRUE(contents(ini) == oldIni) << contents(ini).size() << " bytes, " << room << " free";
    EXPECT_EQ(QDir(disk.dir.path()).entryList(QDir::Files), files); // no temporary left
  }
}

// Guards the one writer: renaming over a FIFO, a device or a socket replaced
// the node itself (as root, /dev/null), also through a symbolic link; each is
// refused with its kind named and left as it was. A regular file is replaced
// whole, and a write that fails leaves the old file and no temporary one.
TEST(SafeFile, RefusesNodesAndWritesWhole)
{
  QTemporaryDir dir;
  const auto at = [&](const char* name) { return dir.filePath(name); };
  const auto encoded = [](const QString& p) { return QFile::encodeName(p); };
  ASSERT_EQ(::mkfifo(encoded(at("fifo")).constData(), 0600), 0);
  ASSERT_EQ(::symlink(encoded(at("fifo")).constData(), encoded(at("link")).constData()), 0);
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, encoded(at("socket")).constData(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  // A null device of our own: the system's is not to be put at risk.
  const bool device = ::mknod(encoded(at("null")).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;

  const struct
  {
    const char* name;
    const char* reason;
    mode_t kind;
  } cases[] = {{"fifo", "it is a named pipe (FIFO)", S_IFIFO},
               {"link", "it is a named pipe (FIFO)", S_IFIFO},
               {"folder", "it is a directory", S_IFDIR},
               {"socket", "it is a socket", S_IFSOCK},
               {"null", "it is a device", S_IFCHR}};
  for (const auto& c : cases) {
    if (c.kind == S_IFCHR && !device)
      continue; // no right to make a device here
    try {
      WriteWholeFile(at(c.name), QByteArrayView("picture"));
      ADD_FAILURE() << c.name << " was written";
    } catch (const EFileWriteError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot write file " + at(c.name).toStdString() + ": " +
                                           c.reason + ", not a regular file");
    }
    struct stat info;
    ASSERT_EQ(::stat(encoded(at(c.name)).constData(), &info), 0) << c.name;
    EXPECT_EQ(info.st_mode & S_IFMT, c.kind) << c.name;
  }
  ::close(sock);
  const auto entries = [&] {
    QStringList names =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    names.sort();
    return names;
  };
  QStringList expected = entries() << "file.csv";
  expected.sort();

  const QString file = at("file.csv");
  WriteWholeFile(file, QByteArrayView("old"));
  WriteWholeFile(file, QByteArrayView("new"));
  EXPECT_EQ(contents(file), "new");
  // A write function that saw its writes fail.
  EXPECT_THROW(WriteWholeFile(file, [](QIODevice& f) { return f.write("half") < 0; }),
               EFileWriteError);
  {
    TFileWriter abandoned(file);
    abandoned.Device().write("never committed");
  }
  EXPECT_EQ(contents(file), "new");
  EXPECT_EQ(entries(), expected); // no temporary file left behind
  EXPECT_THROW(WriteWholeFile(at("missing/file.csv"), QByteArrayView("x")), EFileWriteError);
}
