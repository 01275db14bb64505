#include "app/gui/WindowPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
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
    decorations = QMargins(border, QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border,
                           border);
  }
  const QRect frame(framePosition, clientSize.grownBy(decorations));
  const QRect fitted = FitIntoArea(frame, screen->availableGeometry());
  if (fitted == frame) return;
  window->resize(fitted.size().shrunkBy(decorations));
  window->move(fitted.topLeft());
}

}  // namespace vantorel::gui
