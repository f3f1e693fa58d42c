// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/DropController.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace duv;

namespace {

// A page that counts the drops its own handler sees.
class Page : public QWidget
{
public:
  int ownDrops = 0;

protected:
  void dropEvent(QDropEvent*) override { ++ownDrops; }
};

QMimeData* filesMime(const QStringList& paths)
{
  auto* mime = new QMimeData;
  QList<QUrl> urls;
  for (const QString& p : paths)
    urls << QUrl::fromLocalFile(p);
  mime->setUrls(urls);
  return mime;
}

// Delivers one drag-enter and drop of `mime` at the page's centre; returns
// whether the drag was accepted.
bool dropOn(QWidget* target, QMimeData* mime)
{
  const QPointF at(5, 5);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  delete mime;
  return enter.isAccepted();
}

void touch(const QString& path)
{
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

// Guards drops of three files and a folder: order, trailing "/", OnDrop, target still reached.
TEST(DropController, DeliversLocalPaths)
{
  QTemporaryDir dir;
  const QString a = dir.filePath("a.wav"), b = dir.filePath("b.wav");
  // A name well past 255 characters must come through whole.
  const QString c = dir.filePath(QString(200, 'c') + QString(100, 'd') + ".wav");
  for (const QString& p : {a, b})
    touch(p);
  Page page;
  TDropController drop;
  drop.SetDropTarget(&page);
  EXPECT_TRUE(page.acceptDrops());
  QStringList seen;
  QObject::connect(&drop, &TDropController::OnDrop, &drop, [&] { seen = drop.FileList; });
  EXPECT_TRUE(dropOn(&page, filesMime({b, a, c})));
  EXPECT_EQ(seen, QStringList({b, a, c}));
  EXPECT_EQ(page.ownDrops, 1);

  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  dropOn(&page, filesMime({dir.filePath("folder")}));
  EXPECT_EQ(drop.FileList, QStringList({dir.filePath("folder") + "/"}));
}

// Guards that drops without local files change nothing and fire nothing.
TEST(DropController, IgnoresNonFiles)
{
  Page page;
  TDropController drop;
  drop.SetDropTarget(&page);
  drop.FileList = {"/kept"};
  QSignalSpy drops(&drop, &TDropController::OnDrop);
  auto* web = new QMimeData;
  web->setUrls({QUrl("https://example.org/a.wav")});
  EXPECT_FALSE(dropOn(&page, web));
  auto* text = new QMimeData;
  text->setText("/tmp/a.wav");
  EXPECT_FALSE(dropOn(&page, text));
  EXPECT_EQ(drops.count(), 0);
  EXPECT_EQ(drop.FileList, QStringList({"/kept"}));
}

// Guards re-targeting (old target unhooked and restored) and a destroyed target (no dangling).
TEST(DropController, RetargetUnhooksOld)
{
  QTemporaryDir dir;
  const QString a = dir.filePath("a.wav");
  touch(a);
  Page first;
  TDropController drop;
  QSignalSpy drops(&drop, &TDropController::OnDrop);
  drop.SetDropTarget(&first);
  {
    Page second;
    drop.SetDropTarget(&second);
    EXPECT_FALSE(first.acceptDrops());
    dropOn(&first, filesMime({a}));
    EXPECT_EQ(drops.count(), 0);
    dropOn(&second, filesMime({a}));
    EXPECT_EQ(drops.count(), 1);
  }
  EXPECT_EQ(drop.DropTarget(), nullptr);
  drop.SetDropTarget(&first);
  EXPECT_EQ(drop.DropTarget(), &first);
}
