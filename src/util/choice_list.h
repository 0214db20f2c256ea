#pragma once
// A list the user picks one entry from (a combo box in the settings dialogs).
// The fill functions of the device catalogue and the encoder's bit-rate
// probe work on this; the dialogs implement it over their combo boxes, the
// tests and the command line use VectorChoiceList.

#include <string>
#include <vector>

namespace varn {

class ChoiceList {
 public:
  virtual ~ChoiceList() = default;
  virtual void Clear() = 0;
  virtual void Add(const std::string& text) = 0;
  virtual int Count() const = 0;
  virtual std::string Text(int index) const = 0;
  // Selects an entry; -1 selects nothing.
  virtual void Select(int index) = 0;
  virtual int Selected() const = 0;  // -1 when nothing is selected
};

class VectorChoiceList final : public ChoiceList {
 public:
  void Clear() override {
    entries_.clear();
    selected_ = -1;
  }
  void Add(const std::string& text) override { entries_.push_back(text); }
  int Count() const override { return static_cast<int>(entries_.size()); }
  std::string Text(int index) const override {
    return index >= 0 && index < Count() ? entries_[static_cast<size_t>(index)] : std::string();
  }
  void Select(int index) override { selected_ = index >= 0 && index < Count() ? index : -1; }
  int Selected() const override { return selected_; }
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
  int selected_ = -1;
};

}  // namespace varn
