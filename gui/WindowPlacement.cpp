#include "gui/WindowPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QFontMetrics>
#include <QMargins>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace vantorel::gui {

void CentreOnScreen(QWidget* window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
  }
}

QRect FitIntoArea(const QRect& wanted, const QRect& area) {
  if (area.isEmpty()) return wanted;
  QRect fitted(wanted.topLeft(), wanted.size().boundedTo(area.size()));
  fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() + 1 - fitted.width()));
  fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() + 1 - fitted.height()));
  return fitted;
}

void PlaceWithinScreen(QWidget* window, QPoint framePosition, QSize clientSize) {
  window->resize(clientSize);
  window->move(framePosition);
  const QScreen* screen = QGuiApplication::screenAt(framePosition);
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QMargins decorations(window->geometry().left() - window->frameGeometry().left(),
                       window->geometry().top() - window->frameGeometry().top(),
                       window->frameGeometry().right() - window->geometry().right(),
                       window->frameGeometry().bottom() - window->geometry().bottom());
  if (decorations.isNull()) {  // not framed yet: a title bar and thin borders
    const int border = 4;
    decorations =
        QMargins(border, QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border);
  }
  const QRect frame(framePosition, clientSize.grownBy(decorations));
  const QRect fitted = FitIntoArea(frame, screen->availableGeometry());
  if (fitted == frame) return;
  window->resize(fitted.size().shrunkBy(decorations));
  window->move(fitted.topLeft());
}

QPoint PlaceBeside(const QRect& anchor, QSize frameSize, const QRect& area) {
  const int gap = 8;
  const QRect right(QPoint(anchor.right() + 1 + gap, anchor.top()), frameSize);
  const QRect left(QPoint(anchor.left() - gap - frameSize.width(), anchor.top()), frameSize);
  for (const QRect& candidate : {right, left})
    if (area.isEmpty() || (candidate.left() >= area.left() && candidate.right() <= area.right()))
      return FitIntoArea(candidate, area).topLeft();
  return FitIntoArea(QRect(anchor.topLeft() + QPoint(2 * gap, 2 * gap), frameSize), area).topLeft();
}

void ShowBeside(QWidget* window, const QWidget* owner) {
  if (!owner || window->isVisible()) return;
  const QWidget* beside = owner;
  while (beside->parentWidget() && !qobject_cast<const QMdiSubWindow*>(beside)) beside = beside->parentWidget();
  const QRect anchor(beside->mapToGlobal(QPoint(0, 0)), beside->size());
  const QScreen* screen = QGuiApplication::screenAt(anchor.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QSize decorations = window->frameGeometry().size() - window->size();
  const QSize frame = window->size() + (decorations.isEmpty() ? QSize(8, 30) : decorations);
  window->move(PlaceBeside(anchor, frame, screen ? screen->availableGeometry() : QRect()));
}

void FitTitle(QWidget* dialog) {
  // The title in the title bar's font (about the application's) and room for the icon and
  // the window buttons.
  const int title = QFontMetrics(QApplication::font()).horizontalAdvance(dialog->windowTitle());
  dialog->setMinimumWidth(std::max(dialog->minimumWidth(), title + 160));
}

}  // namespace vantorel::gui
