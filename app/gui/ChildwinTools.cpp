// The project window's formula tools (test, help, plot, use chosen fixed formula) and the
// choice of a new region over the picture ("change coordinates").
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <exception>

#include "app/RegionGeometry.h"
#include "app/gui/Childwin.h"
#include "gui/DialogService.h"
#include "gui/RadioGroup.h"
#include "app/gui/RegionDialog.h"
#include "colour/Recolour.h"
#include "core/NumberText.h"
#include "formula/FormulaPage.h"
#include "formula/gui/FormulaTools.h"
#include "formula/gui/PlotWindow.h"

namespace vantorel::gui {

void TMDIChild::ConnectTools() {
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
  connect(Button12, &QPushButton::clicked, this, [this] { Button12Click(); });
  connect(ToolButton4, &QToolButton::clicked, this, [this] { ToolButton4Click(); });
}

void TMDIChild::Button1Click() { TestFormulaShowingMessages(this, FormulaTextOf(*Memo1)); }

void TMDIChild::Button2Click() { ShowFormulaHelp(this); }

void TMDIChild::Button7Click() { TForm2::Instance().ShowFor(Memo1); }

void TMDIChild::Button12Click() {
  const auto text = FixedFormulaText(RadioGroup1->ItemIndex(), Edit8->text().toStdString(), Edit9->text().toStdString(),
                                     Edit10->text().toStdString());
  if (text) Memo1->setPlainText(QString::fromStdString(*text));
}

void TMDIChild::ShowPicture(const QImage& image) {
  if (image.width() != bitmap_.Width || image.height() != bitmap_.Height) return;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  for (int32_t y = 0; y < bitmap_.Height; ++y) {
    const uint8_t* from = rgb.constScanLine(y);
    uint8_t* to = bitmap_.Row(y);
    for (int32_t x = 0; x < bitmap_.Width; ++x) {
      to[3 * x] = from[3 * x + 2];
      to[3 * x + 1] = from[3 * x + 1];
      to[3 * x + 2] = from[3 * x];
    }
  }
  ShowRows(0, bitmap_.Height);
}

void TMDIChild::ToolButton4Click() {
  if (picture_.isNull()) return;
  TForm3& form = TForm3::Instance();
  if (!form.execute(params_, picture_)) {
    WriteTempParameters();
    return;
  }
  // Everything is checked and prepared before anything changes.
  const RegionChoice choice = AcceptSelection(form.Region(), form.Selection(), picture_.width(), picture_.height());
  if (!choice.Accepted) {
    DialogService::instance().error(this, QString::fromStdString(choice.Problem));
    return;
  }
  const AcceptedRegion& chosen = *choice.Accepted;
  if (QImage(chosen.Width, chosen.Height, QImage::Format_RGB888).isNull()) {
    DialogService::instance().error(
        this,
        QStringLiteral("A picture of %1 x %2 pixels does not fit into memory.").arg(chosen.Width).arg(chosen.Height));
    return;
  }
  // The preview keeps its own copy of the old picture (its pixels' byte order is kept as it is).
  const RegionPreview preview(bitmap_.Bits.data(), bitmap_.Width, bitmap_.Height, static_cast<size_t>(bitmap_.Stride),
                              form.Region(), form.Selection());

  // The new region goes into the coordinates page only (other pages keep their edits), and is
  // taken back when the initialisation is refused.
  QLineEdit* const edits[5] = {Edit3, Edit4, Edit6, Edit7, Edit5};
  QString oldTexts[5];
  for (int i = 0; i < 5; ++i) oldTexts[i] = edits[i]->text();
  const int oldWidth = SpinEdit3->value(), oldHeight = SpinEdit4->value();
  const TCalcParams oldParams = params_;
  auto show = [&](const QString(&texts)[5], int width, int height) {
    applying_ = true;  // no ratio keeping in between
    for (int i = 0; i < 5; ++i) edits[i]->setText(texts[i]);
    SpinEdit3->setValue(width);
    SpinEdit4->setValue(height);
    applying_ = false;
  };
  const RegionFrame& r = chosen.Region;
  auto text = [](double v) { return QString::fromStdString(FloatToText(v)); };
  const QString newTexts[5] = {text(r.CenterX), text(r.CenterY), text(r.Width), text(r.Height),
                               text(RadiansToDegrees(r.Angle))};
  show(newTexts, chosen.Width, chosen.Height);
  params_.IterationsDone = 0;
  // The one initialisation of the project window; it may refuse (a running calculation that
  // is to be kept, a setting that is not a number, a file that cannot be emptied).
  if (!InitialisePicture()) {
    show(oldTexts, oldWidth, oldHeight);
    params_ = oldParams;
    return;
  }
  // The exact values, not their texts.
  params_.CenterX = r.CenterX;
  params_.CenterY = r.CenterY;
  params_.Width = r.Width;
  params_.Height = r.Height;
  params_.Angle = r.Angle;

  // The new picture grows row by row with the progress shown; the controls that could change
  // the picture wait until it is complete.
  const bool held = control_.SetBusy(true);
  ApplyControl();
  preview.Fill(bitmap_.Bits.data(), bitmap_.Width, bitmap_.Height, static_cast<size_t>(bitmap_.Stride),
               [this, held](int row) {
                 ShowRows(row, row + 1);
                 StatusBar1->showMessage(QString::fromStdString(RecolourStatusText(row, bitmap_.Height)));
                 ProgressBar1->setValue(RecolourBarPosition(row, bitmap_.Height));
                 if (held) QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
               });
  if (held) control_.SetBusy(false);
  ApplyControl();
  ShowRows(0, bitmap_.Height);
  ShowStateStatus();
  ProgressBar1->setValue(0);
  ToolButton2->setToolTip(QStringLiteral("start"));
  SetToolButton2Image(0);
  setChanged();
  WriteTempParameters();
}

}  // namespace vantorel::gui
