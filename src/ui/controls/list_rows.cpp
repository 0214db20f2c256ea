#include "ui/controls/list_rows.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace varn {

ListRow ListRows::EmptyRow() const {
  ListRow row;
  row.values.resize(static_cast<size_t>(numData_));
  row.aux.resize(static_cast<size_t>(numAux_));
  return row;
}

void ListRows::SetNumData(int columns) {
  numData_ = std::max(1, columns);
  for (ListRow& r : rows_) r.values.resize(static_cast<size_t>(numData_));
}

void ListRows::SetNumAux(int count) {
  numAux_ = std::max(0, count);
  for (ListRow& r : rows_) r.aux.resize(static_cast<size_t>(numAux_));
}

bool ListRows::Insert(int index, int count) {
  if (index == -1) index = selected_;
  if (index < 0 || index > Count()) return false;
  const int n = count <= 0 ? 1 : count;
  rows_.insert(rows_.begin() + index, static_cast<size_t>(n), EmptyRow());
  if (selected_ >= index) selected_ += n;
  return true;
}

int ListRows::Add() {
  rows_.push_back(EmptyRow());
  return Count() - 1;
}

bool ListRows::Delete(int index) {
  if (index == -1) index = selected_;
  if (!Valid(index)) return false;
  rows_.erase(rows_.begin() + index);
  if (selected_ == index)
    selected_ = -1;
  else if (selected_ > index)
    --selected_;
  return true;
}

void ListRows::Clear() {
  rows_.clear();
  selected_ = -1;
}

bool ListRows::Exchange(int a, int b) {
  if (!Valid(a) || !Valid(b)) return false;
  std::swap(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]);
  if (selected_ == a)
    selected_ = b;
  else if (selected_ == b)
    selected_ = a;
  return true;
}

QVariant ListRows::Value(int row, int column) const {
  if (row == -1) row = selected_;
  const ListRow* r = Row(row);
  if (!r || column < 0 || column >= numData_) return {};
  return r->values[static_cast<size_t>(column)];
}

bool ListRows::SetValue(int row, int column, const QVariant& value) {
  if (row == -1) row = selected_;
  ListRow* r = Row(row);
  if (!r || column < 0 || column >= numData_) return false;
  r->values[static_cast<size_t>(column)] = value;
  return true;
}

ListRow* ListRows::Row(int row) { return Valid(row) ? &rows_[static_cast<size_t>(row)] : nullptr; }

const ListRow* ListRows::Row(int row) const {
  return Valid(row) ? &rows_[static_cast<size_t>(row)] : nullptr;
}

void ListRows::Sort(int column, bool numeric, bool descending) {
  if (column < 0 || column >= numData_) return;
  std::vector<int> order(rows_.size());
  std::iota(order.begin(), order.end(), 0);
  auto key = [&](int i) -> const QVariant& {
    return rows_[static_cast<size_t>(i)].values[static_cast<size_t>(column)];
  };
  auto less = [&](int a, int b) {
    if (numeric) return key(a).toDouble() < key(b).toDouble();
    return key(a).toString() < key(b).toString();
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return descending ? less(b, a) : less(a, b); });
  std::vector<ListRow> sorted;
  sorted.reserve(rows_.size());
  int newSelected = -1;
  for (size_t k = 0; k < order.size(); ++k) {
    if (order[k] == selected_) newSelected = static_cast<int>(k);
    sorted.push_back(std::move(rows_[static_cast<size_t>(order[k])]));
  }
  rows_ = std::move(sorted);
  selected_ = newSelected;
}

}  // namespace varn
