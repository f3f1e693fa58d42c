// SPDX-License-Identifier: GPL-3.0-or-later
// Makes one widget accept files dropped from the desktop and hands their
// paths to the owner: FileList holds them, then OnDrop fires.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QMimeData;

namespace duv {

class TDropController : public QObject
{
  Q_OBJECT
public:
  explicit TDropController(QObject* parent = nullptr);
  ~TDropController() override;

  QWidget* DropTarget() const { return FDropTarget; }
  // Unhooks the previous target (giving it back its own drop setting),
  // then hooks the new one.
  void SetDropTarget(QWidget* Value);

  // Paths of the last drop in the order dropped; folders end with "/".
  QStringList FileList;

  // The local file paths a drag carries, folders marked with a trailing "/";
  // empty when it carries no local files.
  static QStringList LocalPaths(const QMimeData* mime);

signals:
  void OnDrop();

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void unhook();

  QPointer<QWidget> FDropTarget;
  bool FSavedAcceptDrops = false;
};

} // namespace duv
