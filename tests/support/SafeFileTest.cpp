// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace duv;

namespace {

QByteArray contents(const QString& path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

} // namespace

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
