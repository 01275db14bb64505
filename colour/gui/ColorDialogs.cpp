#include "colour/gui/ColorDialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/DialogService.h"
#include "colour/gui/ColorListDisplay.h"
#include "core/NumberText.h"

namespace vantorel::gui {

namespace {

constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

QHBoxLayout* ButtonRow(QPushButton*& ok, QPushButton*& cancel, QWidget* parent) {
  ok = new QPushButton(QStringLiteral("OK"), parent);
  ok->setDefault(true);
  cancel = new QPushButton(QStringLiteral("cancel"), parent);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

QLineEdit* Edit(const QString& text, const QString& name, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setAccessibleName(name);
  return e;
}

// The typed number of a field, or a message (and the field focused) when it is unusable.
std::optional<double> Number(QWidget* dialog, QLineEdit* edit) {
  std::string message;
  const auto v = ReadColorValue(edit->text().toStdString(), message);
  if (!v) {
    DialogService::instance().error(dialog, QString::fromStdString(message));
    edit->setFocus();
    edit->selectAll();
  }
  return v;
}

}  // namespace

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("choose color and value"));
  setWindowFlags(kFixedDialog);
  auto* grid = new QGridLayout;
  Label1 = new QLabel(QStringLiteral("color:"), this);
  Shape1 = new TShape(this);
  Shape1->setToolTip(QStringLiteral("klicken für Farbauswahl"));
  Shape1->setAccessibleName(Shape1->toolTip());
  Label2 = new QLabel(QStringLiteral("value"), this);
  Edit1 = Edit(QStringLiteral("0"), QStringLiteral("value"), this);
  Edit1->setToolTip(QStringLiteral("Hier den Zahlenwert eintragen"));
  Label1->setBuddy(Shape1);
  Label2->setBuddy(Edit1);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(Shape1, 0, 1, Qt::AlignLeft);
  grid->addWidget(Label2, 1, 0);
  grid->addWidget(Edit1, 1, 1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addLayout(ButtonRow(OKBtn, CancelBtn, this));
  setFixedSize(sizeHint().expandedTo(QSize(260, 0)));

  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
  connect(Shape1, &TShape::clicked, this, [this] { Shape1MouseDown(); });
}

bool TOKBottomDlg::execute(uint32_t color, double value) {
  Edit1->setText(QString::fromStdString(FloatToText(value)));
  Shape1->SetBrushColor(color);
  Color = color;
  Value = value;
  Result = false;  // also when the window's close box ends the dialog
  Edit1->setFocus();
  Edit1->selectAll();
  DialogService::instance().execDialog(this);
  Color = Shape1->BrushColor();
  return Result;
}

void TOKBottomDlg::OKBtnClick() {
  const auto v = Number(this, Edit1);
  if (!v) return;
  Value = *v;
  Result = true;
  accept();
}

void TOKBottomDlg::CancelBtnClick() {
  Result = false;
  reject();
}

void TOKBottomDlg::Shape1MouseDown() {
  const auto chosen = DialogService::instance().color(this, ToQColor(Shape1->BrushColor()), QString());
  if (chosen) Shape1->SetBrushColor(FromQColor(*chosen));
}

TOKBottomDlg2::TOKBottomDlg2(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("change values"));
  setWindowFlags(kFixedDialog);
  auto* grid = new QGridLayout;
  RadioButton1 = new QRadioButton(QStringLiteral("multiply with:"), this);
  RadioButton2 = new QRadioButton(QStringLiteral("add number:"), this);
  RadioButton3 = new QRadioButton(QStringLiteral("high (value^__):"), this);
  RadioButton1->setChecked(true);
  Edit1 = Edit(QStringLiteral("1"), RadioButton1->text(), this);
  Edit2 = Edit(QStringLiteral("0"), RadioButton2->text(), this);
  Edit3 = Edit(QStringLiteral("1"), RadioButton3->text(), this);
  grid->addWidget(RadioButton1, 0, 0);
  grid->addWidget(Edit1, 0, 1);
  grid->addWidget(RadioButton2, 1, 0);
  grid->addWidget(Edit2, 1, 1);
  grid->addWidget(RadioButton3, 2, 0);
  grid->addWidget(Edit3, 2, 1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addLayout(ButtonRow(OKBtn, CancelBtn, this));
  setFixedSize(sizeHint());

  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  // Typing into a field chooses its operation.
  const std::pair<QLineEdit*, QRadioButton*> pairs[] = {
      {Edit1, RadioButton1}, {Edit2, RadioButton2}, {Edit3, RadioButton3}};
  for (const auto& [edit, radio] : pairs)
    connect(edit, &QLineEdit::textEdited, radio, [radio = radio] { radio->setChecked(true); });
}

void TOKBottomDlg2::OKBtnClick() {
  // Only the chosen operation's number matters; it must be usable.
  ValueChange c;
  QLineEdit* edit = Edit1;
  c.Operation = ValueOperation::Multiply;
  if (RadioButton2->isChecked()) {
    edit = Edit2;
    c.Operation = ValueOperation::Add;
  } else if (RadioButton3->isChecked()) {
    edit = Edit3;
    c.Operation = ValueOperation::Power;
  }
  const auto v = Number(this, edit);
  if (!v) return;
  (c.Operation == ValueOperation::Multiply ? c.Factor
   : c.Operation == ValueOperation::Add    ? c.Addend
                                           : c.Exponent) = *v;
  change_ = c;
  accept();
}

}  // namespace vantorel::gui
