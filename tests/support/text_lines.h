#pragma once
// The lines of a text file as tests read them.

#include <string>
#include <vector>

namespace varn::test {

// The lines of a text, CR LF or LF ended.
std::vector<std::string> Lines(const std::string& text);
// How many lines contain `needle`.
int CountLines(const std::string& text, const std::string& needle);
// The value of one series ("name{labels}") in a Prometheus text page; NaN
// when the page has no such series.
double SeriesValue(const std::string& page, const std::string& series);

}  // namespace varn::test
