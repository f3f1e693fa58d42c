// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Reopen.h"

#include "controls/RecentFiles.h"

#include <QMenu>
#include <QMessageBox>

namespace duv {

TReopenMenu::TReopenMenu(QObject* parent) : QObject(parent) {}

void TReopenMenu::SetMenuItem(QMenu* m)
{
  if (FMenuItem == m)
    return;
  for (const auto& a : std::as_const(FActions))
    if (a && FMenuItem)
      FMenuItem->removeAction(a);
  FMenuItem = m;
  syncMenu();
}

void TReopenMenu::SetNumberItems(bool v)
{
  if (FNumberItems == v)
    return;
  FNumberItems = v;
  Renumber();
}

void TReopenMenu::SetShowPath(bool v)
{
  if (FShowPath == v)
    return;
  FShowPath = v;
  Renumber();
}

QString TReopenMenu::IniPath() const
{
  return ResolveIniPath(FINIFile, FINIFolder);
}

void TReopenMenu::Add(const QString& Path)
{
  if (!FMenuItem)
    return;
  const QStringList before = FPaths;
  AddItem(Path, true);
  TrimToLimit(FPaths, FLimit);
  syncMenu();
  // Kept at once: a crash later loses no opened file.
  if (FPaths != before)
    SaveToIni();
}

void TReopenMenu::AddItem(const QString& Path, bool AtTop)
{
  AddPath(FPaths, Path, AtTop, FNoDuplicates);
  syncMenu();
}

void TReopenMenu::ClearItems()
{
  FPaths.clear();
  syncMenu();
}

void TReopenMenu::Renumber()
{
  syncMenu();
}

void TReopenMenu::syncMenu()
{
  // Actions are reused rather than rebuilt: the handler of a chosen entry
  // may add a path, and the action it came from must outlive that.
  while (FActions.size() > FPaths.size()) {
    QPointer<QAction> a = FActions.takeLast();
    if (a) {
      if (FMenuItem)
        FMenuItem->removeAction(a);
      a->deleteLater();
    }
  }
  if (!FMenuItem)
    return;
  while (FActions.size() < FPaths.size()) {
    auto* a = new QAction(FMenuItem);
    connect(a, &QAction::triggered, this, [this, a] { ItemClick(a); });
    FActions.append(a);
  }
  for (int i = 0; i < FPaths.size(); ++i) {
    QAction* a = FActions[i];
    if (!a) { // destroyed by someone else: replace it
      a = new QAction(FMenuItem);
      connect(a, &QAction::triggered, this, [this, a] { ItemClick(a); });
      FActions[i] = a;
    }
    a->setText(ItemCaption(FPaths[i], i, FNumberItems, FShowPath));
    a->setToolTip(FPaths[i]);
  }
  // Keep the menu's order equal to the list's.
  for (const auto& a : std::as_const(FActions))
    FMenuItem->removeAction(a);
  for (const auto& a : std::as_const(FActions))
    FMenuItem->addAction(a);
}

void TReopenMenu::ItemClick(QAction* Sender)
{
  const int i = int(FActions.indexOf(Sender));
  if (i < 0 || i >= FPaths.size())
    return;
  const QString path = FPaths[i];
  emit OnMenuClick(this, path);
  if (FUpdateOnClick)
    Add(path);
}

void TReopenMenu::LoadFromIni()
{
  if (!FMenuItem)
    return;
  ClearItems();
  QStringList stored;
  const bool ok = LoadRecentPaths(IniPath(), FINISection, stored);
  // No more than the menu shows: a damaged file may hold thousands.
  for (const QString& p : std::as_const(stored)) {
    if (FPaths.size() >= std::max(FLimit, 0))
      break;
    AddPath(FPaths, p, false, FNoDuplicates);
  }
  syncMenu();
  if (!ok)
    ShowAccessError();
}

void TReopenMenu::SaveToIni()
{
  if (!FMenuItem || FINIFile.isEmpty())
    return;
  if (!SaveRecentPaths(IniPath(), FINISection, FPaths))
    ShowAccessError();
}

QString TReopenMenu::AccessErrorText() const
{
  return QStringLiteral("Unable to access: ") + FINIFile + QLatin1Char('\n') +
         QStringLiteral("You may not permission to access the Windows folder");
}

void TReopenMenu::ShowAccessError()
{
  if (!FShowErrors)
    return;
  QMessageBox::warning(nullptr, QStringLiteral("Warning"), AccessErrorText(), QMessageBox::Ok);
}

} // namespace duv
