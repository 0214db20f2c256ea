#pragma once
// The text of an ini file: "[section]" headers and "key=value" lines. Keys
// and section names compare without regard to case, as the profile files the
// program's settings were first kept in did. Lines the reader does not
// understand (comments, blank lines, stray text) are kept as they are.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varn {

class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument Parse(std::string_view text);

  // The value of the first `key` of the first `section`: blanks around it
  // removed and one pair of enclosing quotes taken off. nullopt when absent.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Replaces the key's value, or adds the key at the end of its section, or
  // adds the section at the end of the text. False (and nothing changed) for
  // a key that could not be read back as itself.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  // A key that survives a write and a read: not empty, no "=" or line break,
  // no surrounding blanks, not looking like a comment or a section header.
  static bool IsUsableKey(std::string_view key);
  bool Remove(std::string_view section, std::string_view key);

  std::string Text() const;

  // A line of a section's body that is neither blank nor a comment.
  struct BodyLine {
    size_t number = 0;  // 1-based, in the file
    std::string text;
    std::optional<std::string> key;  // set for a "key=value" line with a key
    std::string value;               // the key's value, as Get gives it
  };
  // The body of the first `section`, the one Get reads; empty without it.
  std::vector<BodyLine> SectionLines(std::string_view section) const;

 private:
  struct Line {
    std::string text;
  };
  // [begin, end) line range of the first matching section's body, or nullopt.
  std::optional<std::pair<size_t, size_t>> SectionBody(std::string_view section) const;
  std::optional<size_t> FindKey(std::string_view section, std::string_view key) const;

  std::vector<std::string> lines_;
  std::string newline_ = "\n";
};

}  // namespace varn
