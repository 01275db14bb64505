#include "app/gui/About.h"

#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/Accessibility.h"
#include "app/gui/Artwork.h"
#include "gui/WindowPlacement.h"

namespace vantorel::gui {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  InitArtwork();
  setObjectName("AboutBox");
  setWindowTitle("common information");
  setModal(true);

  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setPixmap(QPixmap(":/vantorel/images/logo.png"));
  ProgramIcon->setFixedSize(64, 64);

  ProductName = new QLabel("Vantorel", this);
  ProductName->setObjectName("ProductName");
  QFont big = ProductName->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  ProductName->setFont(big);
  Version = new QLabel("Version 2.1", this);
  Version->setObjectName("Version");
  Copyright = new QLabel("29.7.2001", this);
  Copyright->setObjectName("Copyright");
  auto* comments = new QLabel("Lyapunov fractals: computed, coloured and explored.", this);
  comments->setObjectName("Comments");
  comments->setWordWrap(true);

  auto* texts = new QVBoxLayout;
  texts->addWidget(ProductName);
  texts->addWidget(Version);
  texts->addWidget(Copyright);
  texts->addSpacing(6);
  texts->addWidget(comments);
  texts->addStretch();

  auto* panel = new QHBoxLayout;
  panel->addWidget(ProgramIcon, 0, Qt::AlignTop);
  panel->addSpacing(12);
  panel->addLayout(texts, 1);

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(panel);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  resize(300, 180);
  NameControls(this);
}

void TAboutBox::showEvent(QShowEvent* event) {
  // Centred on the screen, not on the main window.
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace vantorel::gui
