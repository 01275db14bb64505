#include "app/gui/StartupNote.h"

#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>

#include "gui/Accessibility.h"
#include "app/gui/Artwork.h"
#include "gui/WindowPlacement.h"

namespace vantorel::gui {

QString StartupNoteText() {
  return QString::fromUtf8(
      "\u2022 \"create new project\" (Ctrl+N) opens a project with a working example; its "
      "pages: formula, coordinates, colors, calculation.\n"
      "\u2022 Decimals take a comma: 0,5 - not 0.5.\n"
      "\u2022 Ctrl+S saves the parameters or the whole project, Ctrl+O opens them (a PNG "
      "picture of Vantorel opens as its picture, computed from its parameters); files can "
      "also be dropped onto the window, and \"file\" > \"recent files\" lists the last ten.\n"
      "\u2022 An open project keeps its temporary files (.TMP0 to .TMP2) in the folder the "
      "program was started in.\n"
      "\u2022 \"HELP !!!\" (F1) explains everything, the formula syntax too.");
}

namespace {

QLabel* ImageLabel(QWidget* parent, const char* name, const QString& resource, const QRect& geometry) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setPixmap(QPixmap(resource));
  label->setGeometry(geometry);
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

}  // namespace

TForm5::TForm5(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  InitArtwork();
  setObjectName("Form5");
  setWindowTitle("important note");
  setFixedSize(360, 261);
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, Qt::white);
  black.setColor(QPalette::Base, Qt::black);
  black.setColor(QPalette::Text, QColor(220, 220, 220));
  black.setColor(QPalette::Button, QColor(40, 40, 48));
  setPalette(black);

  Image3 = ImageLabel(this, "Image3", ":/vantorel/images/logo.png", QRect(8, 8, 64, 64));

  Label1 = new QLabel("Vantorel V2.1", this);
  Label1->setObjectName("Label1");
  QFont title = Label1->font();
  title.setPointSizeF(title.pointSizeF() * 1.8);
  title.setBold(true);
  Label1->setFont(title);
  Label1->setGeometry(84, 16, 200, 40);

  Memo1 = new QPlainTextEdit(StartupNoteText(), this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QFont small = Memo1->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  Memo1->setFont(small);
  Memo1->setGeometry(8, 80, 344, 134);

  Image1 = ImageLabel(this, "Image1", ":/vantorel/images/button.png", QRect(120, 221, 120, 32));
  Image2 = ImageLabel(this, "Image2", ":/vantorel/images/button-hot.png", QRect(120, 221, 120, 32));
  Image2->hide();

  // Mouse moves over every part of the window decide which button image shows.
  setMouseTracking(true);
  for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2),
                     static_cast<QWidget*>(Image3), Memo1->viewport()}) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  installEventFilter(this);
  NameControls(this);
}

void TForm5::Image1MouseMove() { Image2->show(); }

void TForm5::FormMouseMove() { Image2->hide(); }

void TForm5::Image3Click() { Image3->move((Image3->x() + 280) % 560, Image3->y()); }

void TForm5::ImageClick() {
  Image2->hide();
  if (isModal())
    accept();
  else
    close();
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    // Consumed over the button images, so that the move does not reach the window as well.
    if (watched == Image1 || watched == Image2) {
      if (watched == Image1) Image1MouseMove();
      return true;
    }
    FormMouseMove();
  } else if (event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == Image1 || watched == Image2) {
      ImageClick();
      return true;
    }
    if (watched == Image3) {
      Image3Click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TForm5::showEvent(QShowEvent* event) {
  // Centred on the desktop.
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace vantorel::gui
