// SPDX-License-Identifier: GPL-3.0-or-later
// Finds clipped and overlapping text in a window as laid out: captions,
// labels and read-outs that do not fit their controls, sibling controls that
// cover each other, and the text the graphs and the spectrogram paint into
// their fixed margins.
#pragma once

#include "controls/ReadOut.h"
#include "controls/SpinButtons.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "support/DSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QLineEdit>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

namespace duv::test {

inline QString Describe(const QWidget* w)
{
  QString name = w->accessibleName();
  if (name.isEmpty())
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
      name = b->text();
  if (name.isEmpty())
    if (auto* l = qobject_cast<const QLabel*>(w))
      name = l->text();
  return QStringLiteral("%1 \"%2\" %3x%4")
      .arg(w->metaObject()->className(), name)
      .arg(w->width())
      .arg(w->height());
}

// The text painted in a graph's border: the boxed title above the plot and
// the X labels below it must stay inside the control.
inline void CheckGraph(TGraphBox& g, QStringList& problems)
{
  if (g.width() <= 0 || g.height() <= 0)
    return;
  const QFontMetrics m(g.font());
  if (g.Title().ShowCaption() && (g.PlotTop() - m.height()) / 2 - 2 < 0)
    problems << Describe(&g) + ": the title box leaves the top";
  if (g.XAxis().ShowLabels() && g.PlotBottom() + 1 + m.height() > g.height())
    problems << Describe(&g) + ": the X labels leave the bottom";
  // Round ticks place their labels where they fit: each must stay inside.
  if (!g.RoundTicks())
    return;
  for (bool vertical : {false, true})
    for (const TAxisTick& t : vertical ? g.Layout().YTicks : g.Layout().XTicks) {
      if (!t.Labelled)
        continue;
      const QPoint top = vertical ? t.LabelAt - QPoint(0, m.ascent()) : t.LabelAt;
      if (!g.rect().contains(QRect(top, QSize(m.horizontalAdvance(t.Label), m.height()))))
        problems << Describe(&g) + ": the label " + t.Label + " leaves the control";
    }
}

// The spectrogram's labels must stay in its margins, clear of the frame.
inline void CheckSpectrogram(TSpectroGram& s, QStringList& problems)
{
  const QFontMetrics m(s.font());
  const TSpectroMargins& mg = s.Margins();
  if (s.RoundTicks()) {
    // The margins grow to the round labels: each inside, none on another.
    const auto& labels = s.Axes().Labels;
    for (std::size_t i = 0; i < labels.size(); ++i) {
      if (!s.rect().contains(labels[i].Rect))
        problems << Describe(&s) + ": the label " + labels[i].Text + " leaves the control";
      for (std::size_t j = i + 1; j < labels.size(); ++j)
        if (labels[i].Rect.intersects(labels[j].Rect))
          problems << Describe(&s) + ": the labels " + labels[i].Text + " and " + labels[j].Text +
                          " overlap";
    }
    return;
  }
  // The widest time label the window can show: the longest time span.
  for (const QString& t : {FormatFixed(600, 1), FormatFixed(10, 1)})
    if (1 + m.horizontalAdvance(t) > mg.Left - 2)
      problems << Describe(&s) + ": the time label " + t + " runs into the frame";
  if (m.height() > mg.Bottom - 1)
    problems << Describe(&s) + ": the frequency labels run into the frame";
  if (m.height() / 2 > mg.Top)
    problems << Describe(&s) + ": the top time label leaves the control";
}

// A caption as drawn: a mnemonic's "&" is not shown ("&&" shows one).
inline QString ShownText(QString Text)
{
  for (qsizetype i = 0; i < Text.size(); ++i)
    if (Text[i] == QLatin1Char('&'))
      Text.remove(i, 1);
  return Text;
}

// Where a control puts its ink in its parent: a label only where its text
// stands (labels of a fixed design may share a pixel row of empty space),
// anything else its whole rectangle.
inline QRect InkRect(const QWidget* w)
{
  const auto* l = qobject_cast<const QLabel*>(w);
  if (!l || l->text().isEmpty() || l->wordWrap())
    return w->geometry();
  const QRect text =
      QStyle::alignedRect(l->layoutDirection(), l->alignment(),
                          l->fontMetrics().size(0, ShownText(l->text())), l->contentsRect());
  return text.translated(w->pos());
}

// Every visible control under top, with what is wrong with it.
inline QStringList LayoutProblems(QWidget* top)
{
  QStringList problems;
  const auto widgets = top->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    if (!w->isVisibleTo(top) || w->width() <= 0)
      continue;
    const QFontMetrics m(w->font());
    if (auto* l = qobject_cast<QLabel*>(w)) {
      if (!l->wordWrap() && !l->text().isEmpty() && l->pixmap().isNull()) {
        const QRect r = l->contentsRect();
        if (m.horizontalAdvance(ShownText(l->text())) > r.width() || m.height() > r.height())
          problems << Describe(w) + ": text clipped";
      }
    } else if (auto* r = qobject_cast<TReadOut*>(w)) {
      if (r->width() < r->minimumSizeHint().width() ||
          m.horizontalAdvance(r->Text()) > r->contentsRect().width() - 6)
        problems << Describe(w) + ": figure clipped";
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      if (qobject_cast<QTabBar*>(w->parentWidget()))
        continue; // the tab bar's scroll arrows
      const QSize need = b->sizeHint();
      if (!b->text().isEmpty() && (b->width() < need.width() || b->height() < need.height()))
        problems << Describe(w) + QStringLiteral(": needs %1x%2").arg(need.width()).arg(need.height());
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
      if (c->width() < c->minimumSizeHint().width() || c->height() < c->minimumSizeHint().height())
        problems << Describe(w) + ": too small for its items";
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      if (e->height() < m.height() + 2)
        problems << Describe(w) + ": lower than its text";
    }
    if (auto* bar = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < bar->count(); ++i)
        if (!bar->rect().contains(bar->tabRect(i)) ||
            m.horizontalAdvance(bar->tabText(i)) > bar->tabRect(i).width())
          problems << Describe(w) + ": the tab " + bar->tabText(i) + " is cut off";
    if (auto* g = qobject_cast<QGroupBox*>(w))
      if (m.horizontalAdvance(g->title()) + 16 > g->width())
        problems << Describe(w) + ": caption clipped";
    if (auto* g = qobject_cast<TGraphBox*>(w))
      CheckGraph(*g, problems);
    if (auto* s = qobject_cast<TSpectroGram*>(w))
      CheckSpectrogram(*s, problems);

    // Siblings laid side by side must not cover each other (a spin's two
    // arrows share their border line on purpose).
    if (qobject_cast<TUpDownButton*>(w->parentWidget()))
      continue;
    for (QWidget* other : widgets) {
      if (other <= w || other->parentWidget() != w->parentWidget() || !other->isVisibleTo(top) ||
          other->isWindow() || w->isWindow())
        continue;
      if (InkRect(w).intersects(InkRect(other)))
        problems << Describe(w) + " overlaps " + Describe(other);
    }
  }
  return problems;
}

} // namespace duv::test
