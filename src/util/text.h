#pragma once
// Small text helpers shared by the whole program. Text is UTF-8 throughout.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varn {

std::string TrimBlanks(std::string_view text);  // blanks, tabs, CR and LF
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

// A number zero-padded to at least `width` digits ("00" and "0000" patterns).
std::string PadNumber(int64_t value, int width);

// Fixed-point text as C's printf "%.*f" gives it.
std::string FormatFixed(double value, int decimals);

// The shortest decimal text that reads back as the same value ("0.7" for
// 0.7f, "300" for 300.0f). Used to store reals in the settings.
std::string ShortestText(float value);
std::string ShortestText(double value);

// Reads a decimal number written by a person or by the program: surrounding
// blanks allowed, '.' as the decimal mark, an optional exponent. Anything
// else (empty text, trailing letters, inf, nan) gives nullopt.
std::optional<double> ParseNumber(std::string_view text);

// The longest prefix of `text` of at most `maxBytes` bytes that does not cut
// a UTF-8 sequence in half.
std::string_view CutUtf8(std::string_view text, size_t maxBytes);

}  // namespace varn
