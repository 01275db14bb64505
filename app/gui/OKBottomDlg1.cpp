#include "app/gui/OKBottomDlg1.h"

#include "gui/WindowPlacement.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantorel::gui {

TOKBottomDlg1::TOKBottomDlg1(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("change settings"));
  setModal(true);
  auto* column = new QVBoxLayout(this);
  CheckBox1 = new QCheckBox(QStringLiteral("iterations"), this);
  CheckBox2 = new QCheckBox(QStringLiteral("smart-iter limit"), this);
  CheckBox3 = new QCheckBox(QStringLiteral("color transition"), this);
  CheckBox4 = new QCheckBox(QStringLiteral("all parameters"), this);
  CheckBox4->setChecked(true);
  for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) {
    box->setAccessibleName(box->text());
    column->addWidget(box);
  }
  auto* buttons = new QHBoxLayout;
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  CancelBtn = new QPushButton(QStringLiteral("cancel"), this);
  OKBtn->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  column->addLayout(buttons);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  FitTitle(this);
}

}  // namespace vantorel::gui
