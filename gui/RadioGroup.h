// A titled group of radio buttons of which at most one is chosen, addressed by item index.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace vantorel::gui {

class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);

  // The chosen item, -1 when none.
  int ItemIndex() const;
  // Chooses an item; an index outside the items chooses none.
  void SetItemIndex(int index);
  int Count() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Item(int index) const { return buttons_[static_cast<size_t>(index)]; }

 signals:
  // The chosen item changed (by the user or by SetItemIndex).
  void itemIndexChanged(int index);

 private:
  QButtonGroup* group_ = nullptr;
  std::vector<QRadioButton*> buttons_;
};

}  // namespace vantorel::gui
