// SPDX-License-Identifier: GPL-3.0-or-later
// The recent-files submenu: a most-recent-first list of paths shown as the
// items of a menu and kept in a section of the INI file between runs,
// written as soon as the list changes.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>

namespace duv {

class TReopenMenu : public QObject
{
  Q_OBJECT
public:
  explicit TReopenMenu(QObject* parent = nullptr);

  int Limit() const { return FLimit; }
  void SetLimit(int v) { FLimit = v; }
  QString INIFile() const { return FINIFile; }
  void SetINIFile(const QString& s) { FINIFile = s; }
  QString INISection() const { return FINISection; }
  void SetINISection(const QString& s) { FINISection = s; }
  // Folder a bare INIFile name is looked for in; empty means the
  // application's configuration folder.
  QString INIFolder() const { return FINIFolder; }
  void SetINIFolder(const QString& s) { FINIFolder = s; }
  QMenu* MenuItem() const { return FMenuItem; }
  void SetMenuItem(QMenu* m);
  bool NumberItems() const { return FNumberItems; }
  void SetNumberItems(bool v);
  bool NoDuplicates() const { return FNoDuplicates; }
  void SetNoDuplicates(bool v) { FNoDuplicates = v; }
  bool ShowPath() const { return FShowPath; }
  void SetShowPath(bool v);
  bool ShowErrors() const { return FShowErrors; }
  void SetShowErrors(bool v) { FShowErrors = v; }
  bool UpdateOnClick() const { return FUpdateOnClick; }
  void SetUpdateOnClick(bool v) { FUpdateOnClick = v; }

  // The full path of each entry, top first, at the index of its menu item.
  const QStringList& Paths() const { return FPaths; }
  // The full file path the INI name resolves to.
  QString IniPath() const;

  // Puts Path at the top (with an INI file, written at once).
  void Add(const QString& Path);
  // The stored list, up to the limit.
  void LoadFromIni();
  void SaveToIni();
  void ItemClick(QAction* Sender);

signals:
  void OnMenuClick(QObject* Sender, const QString& Path);

protected:
  // Warning box for an INI failure; virtual so tests can see it without a
  // modal box.
  virtual void ShowAccessError();
  QString AccessErrorText() const;

private:
  void AddItem(const QString& Path, bool AtTop);
  void ClearItems();
  void Renumber();
  void syncMenu();

  int FLimit = 5;
  QString FINIFile;
  QString FINISection;
  QString FINIFolder;
  QPointer<QMenu> FMenuItem;
  bool FNumberItems = true;
  bool FNoDuplicates = true;
  bool FShowPath = false;
  bool FShowErrors = false;
  bool FUpdateOnClick = false;
  QStringList FPaths;
  QList<QPointer<QAction>> FActions;
};

} // namespace duv
