#pragma once
// A combo box seen as a ChoiceList, so the device catalogue and the
// encoder's bit-rate probe fill the dialogs' lists directly.

#include <QComboBox>

#include "util/choice_list.h"

namespace varn {

class ComboChoiceList final : public ChoiceList {
 public:
  explicit ComboChoiceList(QComboBox* combo) : combo_(combo) {}
  void Clear() override { combo_->clear(); }
  // A combo box selects its first entry by itself; a list selects only when told.
  void Add(const std::string& text) override {
    const int selected = combo_->currentIndex();
    combo_->addItem(QString::fromStdString(text));
    if (combo_->currentIndex() != selected) combo_->setCurrentIndex(selected);
  }
  int Count() const override { return combo_->count(); }
  std::string Text(int index) const override { return combo_->itemText(index).toStdString(); }
  void Select(int index) override {
    combo_->setCurrentIndex(index >= 0 && index < combo_->count() ? index : -1);
  }
  int Selected() const override { return combo_->currentIndex(); }

 private:
  QComboBox* combo_;
};

}  // namespace varn
