// The inputs of the project window's pages that take effect beyond their own field: the
// picture size, kept in the region's ratio when "adjust ratio" is checked and judged before a
// large size is taken; "use settings"; and the note of the iteration counts a run will use.
// Sizes and region values act when their editing has finished, never on a half-typed value.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/IterationCounts.h"
#include "app/PictureRatio.h"
#include "app/gui/Childwin.h"

namespace vantorel::gui {

void TMDIChild::ConnectInputHandlers() {
  // Typed digits are not values yet: the spin edits report a value on Enter, when the focus
  // leaves them and on their arrows; the region's width and height when their editing finishes.
  for (QSpinBox* spin : {SpinEdit3, SpinEdit4}) spin->setKeyboardTracking(false);
  connect(SpinEdit3, &QSpinBox::valueChanged, this, [this] { SpinEdit3Change(); });
  connect(SpinEdit4, &QSpinBox::valueChanged, this, [this] { SpinEdit4Change(); });
  connect(Edit7, &QLineEdit::editingFinished, this, [this] { SpinEdit3Change(); });
  connect(Edit6, &QLineEdit::editingFinished, this, [this] { SpinEdit4Change(); });
  for (QLineEdit* e : {Edit6, Edit7}) connect(e, &QLineEdit::textChanged, this, [this] { setChanged(); });
  connect(CheckBox3, &QCheckBox::toggled, this, [this] { SpinEdit3Change(); });
  // A size typed or reached by the ratio is judged once its edit is over; arrow steps and
  // sizes from files are judged when the picture is initialised.
  for (QSpinBox* spin : {SpinEdit3, SpinEdit4})
    connect(spin, &QSpinBox::editingFinished, this, [this] { PictureSizeEdited(); });
  for (QLineEdit* e : {Edit6, Edit7}) connect(e, &QLineEdit::editingFinished, this, [this] { PictureSizeEdited(); });
  connect(CheckBox3, &QCheckBox::clicked, this, [this] { PictureSizeEdited(); });
  connect(Button11, &QPushButton::clicked, this, [this] { Button11Click(); });
  connect(SpinEdit1, &QSpinBox::valueChanged, this, [this] { ShowIterationsUsed(); });
  connect(SpinEdit2, &QSpinBox::valueChanged, this, [this] { ShowIterationsUsed(); });
  connect(Edit1, &QLineEdit::textChanged, this, [this] { ShowIterationsUsed(); });
}

void TMDIChild::KeepRatio(QSpinBox* target, double factor, const QLineEdit* numerator, const QLineEdit* denominator,
                          const QString& numeratorName, const QString& denominatorName) {
  if (applying_ || !CheckBox3->isChecked()) {
    CoordinatesError->hide();
    return;
  }
  const RatioResult result = KeepPictureRatio(int(factor), numerator->text().toStdString(),
                                              denominator->text().toStdString(), numeratorName.toStdString(),
                                              denominatorName.toStdString(), target->minimum(), target->maximum());
  if (!result.Side) {
    CoordinatesError->setText(QString::fromStdString(result.Problem));
    CoordinatesError->show();
    return;
  }
  CoordinatesError->hide();
  // The ratio is applied once, from the value edited: the side set here does not set the
  // edited side again (whose rounding would move it away from what was typed).
  ++ratioDepth_;
  target->setValue(*result.Side);
  --ratioDepth_;
}

void TMDIChild::SpinEdit3Change() {
  // The side the ratio sets follows within this change: one undo step for both sides.
  if (ratioDepth_ == 0)
    KeepRatio(SpinEdit4, SpinEdit3->value(), Edit7, Edit6, QStringLiteral("height"), QStringLiteral("width"));
  setChanged();
}

void TMDIChild::SpinEdit4Change() {
  // The side the ratio sets follows within this change: one undo step for both sides.
  if (ratioDepth_ == 0)
    KeepRatio(SpinEdit3, SpinEdit4->value(), Edit6, Edit7, QStringLiteral("width"), QStringLiteral("height"));
  setChanged();
}

void TMDIChild::PictureSizeEdited() {
  if (applying_ || judgingSize_) return;  // the question itself takes the focus
  const QSize size(SpinEdit3->value(), SpinEdit4->value());
  if (size == takenSize_) return;
  TCalcParams sized = params_;
  sized.PictureWidth = size.width();
  sized.PictureHeight = size.height();
  judgingSize_ = true;
  const bool taken = AcceptPictureSize(sized);
  judgingSize_ = false;
  if (taken) {
    takenSize_ = size;
    return;
  }
  ++ratioDepth_;  // both sides go back as they were, without the ratio
  SpinEdit3->setValue(takenSize_.width());
  SpinEdit4->setValue(takenSize_.height());
  --ratioDepth_;
  setChanged();  // the step back cancels the refused step on the undo stack
  CoordinatesError->setText(
      QStringLiteral("The picture size was left at %1 x %2 pixels.").arg(takenSize_.width()).arg(takenSize_.height()));
  CoordinatesError->show();
}

void TMDIChild::Button11Click() {
  // UsePictureSize judges the size and asks before data are lost.
  if (!pictureInitialised_) return;
  UsePictureSize(SpinEdit3->value(), SpinEdit4->value());
}

void TMDIChild::ShowIterationsUsed() {
  if (!IterationsUsed) return;  // still being built
  const auto length = static_cast<int32_t>(ReadSequence(Edit1->text().toLatin1().toStdString()).size());
  if (length == 0) {
    IterationsUsed->hide();
    return;
  }
  const int32_t iterations = GatheredIterations(SpinEdit1->value(), params_.Iterations, params_.SequenceLength, length);
  const int32_t calmDown =
      GatheredIterations(SpinEdit2->value(), params_.CalmDownIterations, params_.SequenceLength, length);
  if (iterations == SpinEdit1->value() && calmDown == SpinEdit2->value()) {
    IterationsUsed->hide();
    return;
  }
  IterationsUsed->setText(QStringLiteral("used: %1 iterations, %2 to calm down (whole AB-sequences of %3)")
                              .arg(iterations)
                              .arg(calmDown)
                              .arg(length));
  IterationsUsed->show();
}

}  // namespace vantorel::gui
