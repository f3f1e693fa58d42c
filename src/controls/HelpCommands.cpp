// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/HelpCommands.h"

#include <QRegularExpression>

namespace duv {

THtmlHelpRequest MapHelpCommand(int command, const QVariant& data)
{
  switch (command) {
  case HELP_CONTEXT:
  case HELP_CONTEXTPOPUP:
    return {HH_HELP_CONTEXT, data};
  case HELP_QUIT:
    return {HH_CLOSE_ALL, 0};
  case HELP_CONTENTS:
    return {HH_DISPLAY_TOC, 0};
  case HELP_FINDER:
    return {HH_DISPLAY_TOPIC, data};
  case HELP_KEY:
    return {HH_DISPLAY_INDEX, data};
  default:
    return {HH_DISPLAY_TOPIC, 0};
  }
}

bool IsChmFile(const QString& fileName)
{
  return fileName.endsWith(QLatin1String(".chm"), Qt::CaseInsensitive);
}

bool IsHlpFile(const QString& fileName)
{
  return fileName.endsWith(QLatin1String(".hlp"), Qt::CaseInsensitive);
}

QString TopicTarget(const QString& helpFile, const QString& topic)
{
  if (topic.isEmpty())
    return helpFile;
  if (topic.startsWith(QLatin1Char('/')))
    return helpFile + QLatin1String("::") + topic;
  return helpFile + QLatin1String("::/") + topic;
}

QString TopicPage(const QString& target)
{
  QString page = target;
  if (const qsizetype sep = page.indexOf(QLatin1String("::")); sep >= 0)
    page = page.mid(sep + 2);
  else if (IsChmFile(page))
    return {};
  while (page.startsWith(QLatin1Char('/')))
    page.remove(0, 1);
  return page.trimmed();
}

QList<THelpContentsEntry> ParseHelpContents(const QString& text)
{
  QList<THelpContentsEntry> out;
  for (const QString& raw : text.split(QLatin1Char('\n'))) {
    QString line = raw;
    line.remove(QLatin1Char('\r'));
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
      continue;
    const qsizetype bar = trimmed.indexOf(QLatin1Char('|'));
    if (bar <= 0)
      continue;
    qsizetype indent = 0;
    while (indent < line.size() && line[indent] == QLatin1Char(' '))
      ++indent;
    THelpContentsEntry e;
    e.Title = trimmed.left(bar).trimmed();
    e.Page = trimmed.mid(bar + 1).trimmed();
    e.Level = int(indent / 2);
    out.append(e);
  }
  return out;
}

namespace {
QString metaContent(const QString& html, const QString& name)
{
  const QRegularExpression re(
      QStringLiteral("<meta\\s+name\\s*=\\s*\"%1\"\\s+content\\s*=\\s*\"([^\"]*)\"")
          .arg(QRegularExpression::escape(name)),
      QRegularExpression::CaseInsensitiveOption);
  const auto m = re.match(html);
  return m.hasMatch() ? m.captured(1) : QString();
}
} // namespace

THelpPageInfo ParseHelpPage(const QString& html)
{
  THelpPageInfo info;
  static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::DotMatchesEverythingOption);
  if (const auto m = title.match(html); m.hasMatch())
    info.Title = m.captured(1).simplified();
  static const QRegularExpression sep(QStringLiteral("[;,]"));
  for (const QString& k : metaContent(html, QStringLiteral("keywords")).split(sep))
    if (!k.trimmed().isEmpty())
      info.Keywords.append(k.trimmed());
  static const QRegularExpression space(QStringLiteral("[\\s;,]+"));
  for (const QString& c : metaContent(html, QStringLiteral("context")).split(space)) {
    bool ok = false;
    const int n = c.toInt(&ok);
    if (ok)
      info.Contexts.append(n);
  }
  return info;
}

bool TWinHelpMakeBehave::CanShowALink(const QString&, const QString& FileName) const
{
  return IsHlpFile(FileName);
}

bool TWinHelpMakeBehave::CanShowTopic(const QString&, const QString& FileName) const
{
  return IsHlpFile(FileName);
}

bool TWinHelpMakeBehave::CanShowContext(int, const QString& FileName) const
{
  return IsHlpFile(FileName);
}

QStringList TWinHelpMakeBehave::GetHelpStrings(const QString&) const
{
  return {};
}

} // namespace duv
