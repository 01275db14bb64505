#include "app/gui/ProgressForm.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "gui/Accessibility.h"

namespace vantorel::gui {

TForm7::TForm7(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
  setObjectName("Form7");
  setWindowTitle("progress");
  setModal(false);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  Label1 = new QLabel("Fortschrittstyp...", this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 6);
  layout->setSpacing(4);
  layout->addWidget(ProgressBar1);
  layout->addWidget(Label1);
  setFixedSize(233, 63);
  NameControls(this);
}

}  // namespace vantorel::gui
