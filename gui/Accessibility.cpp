#include "gui/Accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTabBar>
#include <QTextEdit>
#include <QWidget>

namespace vantorel::gui {

namespace {

constexpr const char* kFromHint = "vantorelNameFromHint";

QString Clean(QString text) {
  text.remove(QLatin1Char('&'));
  text = text.simplified();
  while (text.endsWith(QLatin1Char(':')) || text.endsWith(QLatin1Char('='))) text.chop(1);
  return text.trimmed();
}

// Keeps names taken from hints equal to the hint.
class HintFollower final : public QObject {
 public:
  static HintFollower& Instance() {
    static QPointer<HintFollower> follower;  // lives as long as the application
    if (!follower) follower = new HintFollower(qApp);
    return *follower;
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTipChange && watched->isWidgetType() && watched->property(kFromHint).toBool()) {
      auto* w = static_cast<QWidget*>(watched);
      w->setAccessibleName(Clean(w->toolTip()));
    }
    return false;
  }

 private:
  using QObject::QObject;
};

QString LabelText(QLayoutItem* item) {
  if (!item || !item->widget()) return QString();
  const auto* label = qobject_cast<const QLabel*>(item->widget());
  return label ? Clean(label->text()) : QString();
}

// The label that names the widget in its parent's layouts: a buddy, the form label, the label
// left of it or above it in a grid, the label just before it in a box.
QString CaptionBeside(const QWidget* w) {
  const QWidget* parent = w->parentWidget();
  if (!parent) return QString();
  for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    if (label->buddy() == w && !Clean(label->text()).isEmpty()) return Clean(label->text());
  QList<QLayout*> layouts = parent->findChildren<QLayout*>();
  if (parent->layout()) layouts.prepend(parent->layout());
  for (QLayout* layout : layouts) {
    const int index = layout->indexOf(const_cast<QWidget*>(w));
    if (index < 0) continue;
    if (auto* form = qobject_cast<QFormLayout*>(layout)) {
      if (auto* label = qobject_cast<QLabel*>(form->labelForField(const_cast<QWidget*>(w))))
        return Clean(label->text());
    } else if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
      int row, column, rowSpan, columnSpan;
      grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
      QString text = column > 0 ? LabelText(grid->itemAtPosition(row, column - 1)) : QString();
      if (text.isEmpty() && row > 0) text = LabelText(grid->itemAtPosition(row - 1, column));
      if (!text.isEmpty()) return text;
    } else if (qobject_cast<QBoxLayout*>(layout) && index > 0) {
      const QString text = LabelText(layout->itemAt(index - 1));
      if (!text.isEmpty()) return text;
    }
  }
  return QString();
}

void Name(QWidget* w) {
  if (!IsControl(w) || !AccessibleNameOf(w).isEmpty()) return;
  QString name = CaptionBeside(w);
  if (name.isEmpty() && !w->toolTip().isEmpty()) {
    name = Clean(w->toolTip());
    w->setProperty(kFromHint, true);
    w->installEventFilter(&HintFollower::Instance());
  }
  if (name.isEmpty())
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) name = Clean(edit->placeholderText());
  // A list or a read-only text with no label of its own: the title of its group or window.
  if (name.isEmpty() && (qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QPlainTextEdit*>(w))) {
    for (const QWidget* up = w->parentWidget(); up && name.isEmpty(); up = up->parentWidget()) {
      if (const auto* group = qobject_cast<const QGroupBox*>(up)) name = Clean(group->title());
      if (up->isWindow()) name = Clean(up->windowTitle());
    }
  }
  if (name.isEmpty() && qobject_cast<const QProgressBar*>(w)) name = QStringLiteral("progress");
  // The toolkit's buttons for what does not fit into a toolbar or a menu bar.
  if (name.isEmpty() && w->objectName() == QLatin1String("qt_toolbar_ext_button")) name = QStringLiteral("more tools");
  if (name.isEmpty() && w->objectName() == QLatin1String("qt_menubar_ext_button")) name = QStringLiteral("more menus");
  if (!name.isEmpty()) w->setAccessibleName(name);
}

}  // namespace

bool IsControl(const QWidget* w) {
  const QWidget* parent = w->parentWidget();
  // Parts of another control: the field of a spin box or combo box, scroll bars.
  if (qobject_cast<const QScrollBar*>(w)) return false;
  if (parent && (qobject_cast<const QAbstractSpinBox*>(parent) || qobject_cast<const QComboBox*>(parent))) return false;
  if (parent && qobject_cast<const QTabBar*>(parent)) return false;  // its scroll buttons, named by the toolkit
  // A tab bar is read as its tabs, which are named by their captions.
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const QComboBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
         qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
         qobject_cast<const QProgressBar*>(w);
}

QString AccessibleNameOf(QWidget* w) {
  if (!w->accessibleName().isEmpty()) return w->accessibleName();
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
  return face ? face->text(QAccessible::Name).trimmed() : QString();
}

void NameControls(QWidget* root) {
  Name(root);
  for (QWidget* w : root->findChildren<QWidget*>()) Name(w);
}

}  // namespace vantorel::gui
