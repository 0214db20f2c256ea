#pragma once
// The rows of the list control and its selection, apart from any drawing:
// the insert and delete rules the log window relies on live here.

#include <QVariant>
#include <vector>

namespace varn {

struct ListRow {
  std::vector<QVariant> values;  // one per column
  std::vector<QVariant> aux;     // the host's own values
  int dispColor = -1;            // text colour 0x00BBGGRR, -1 the list's
  int iconType = 0;
  bool hLine = false;  // a line under the row
};

class ListRows {
 public:
  int NumData() const { return numData_; }
  // Every row gets (or loses) columns to match; at least 1.
  void SetNumData(int columns);
  int NumAux() const { return numAux_; }
  void SetNumAux(int count);

  int Count() const { return static_cast<int>(rows_.size()); }
  bool Valid(int row) const { return row >= 0 && row < Count(); }

  // The selected row, -1 for none. An index outside the rows selects none.
  int Selected() const { return selected_; }
  void Select(int row) { selected_ = Valid(row) ? row : -1; }

  // `count` empty rows (0 means 1) before `index`; -1 means at the selected
  // row. An index below 0 or above Count does nothing (false). A selection
  // at or after the index moves down with its row.
  bool Insert(int index, int count);
  // Appends one row and returns its index.
  int Add();
  // Removes a row (-1: the selected one); a selection below it moves up
  // with its row, a removed selection becomes none. Outside the rows:
  // nothing (false).
  bool Delete(int index);
  void Clear();
  // Swaps two rows; the selection stays with its row.
  bool Exchange(int a, int b);

  // -1 as row means the selected row; outside the data: empty / nothing.
  QVariant Value(int row, int column) const;
  bool SetValue(int row, int column, const QVariant& value);

  // The row itself, nullptr outside (-1 is not the selection here).
  ListRow* Row(int row);
  const ListRow* Row(int row) const;

  // Orders the rows by one column's values, text or numbers; the selection
  // stays with its row.
  void Sort(int column, bool numeric, bool descending);

 private:
  ListRow EmptyRow() const;

  std::vector<ListRow> rows_;
  int numData_ = 1;
  int numAux_ = 0;
  int selected_ = -1;
};

}  // namespace varn
