// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/DropController.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace duv {

TDropController::TDropController(QObject* parent) : QObject(parent) {}

TDropController::~TDropController()
{
  unhook();
}

void TDropController::unhook()
{
  if (!FDropTarget)
    return;
  FDropTarget->removeEventFilter(this);
  FDropTarget->setAcceptDrops(FSavedAcceptDrops);
  FDropTarget = nullptr;
}

void TDropController::SetDropTarget(QWidget* Value)
{
  if (FDropTarget == Value)
    return;
  unhook();
  FDropTarget = Value;
  if (!Value)
    return;
  FSavedAcceptDrops = Value->acceptDrops();
  Value->installEventFilter(this);
  Value->setAcceptDrops(true);
}

QStringList TDropController::LocalPaths(const QMimeData* mime)
{
  QStringList out;
  if (!mime || !mime->hasUrls())
    return out;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile())
      continue;
    QString path = url.toLocalFile();
    if (path.isEmpty())
      continue;
    if (QFileInfo(path).isDir() && !path.endsWith(QLatin1Char('/')))
      path += QLatin1Char('/');
    out.append(path);
  }
  return out;
}

bool TDropController::eventFilter(QObject* watched, QEvent* e)
{
  if (watched != FDropTarget)
    return QObject::eventFilter(watched, e);
  switch (e->type()) {
  case QEvent::DragEnter:
  case QEvent::DragMove: {
    auto* d = static_cast<QDropEvent*>(e);
    if (LocalPaths(d->mimeData()).isEmpty())
      break; // not ours: the target decides as before
    d->setDropAction(Qt::CopyAction);
    d->accept();
    return true;
  }
  case QEvent::Drop: {
    auto* d = static_cast<QDropEvent*>(e);
    const QStringList paths = LocalPaths(d->mimeData());
    if (paths.isEmpty())
      break;
    FileList = paths;
    d->setDropAction(Qt::CopyAction);
    d->accept();
    emit OnDrop();
    // The target still sees the drop afterwards, as it would without us.
    break;
  }
  default:
    break;
  }
  return QObject::eventFilter(watched, e);
}

} // namespace duv
