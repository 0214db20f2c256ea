#pragma once
// Readable QString values in test failure messages (GoogleTest would print
// the UTF-16 code units one by one).

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
