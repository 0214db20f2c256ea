// The settings reference: every key of the catalogue described, as
// `varn config describe` prints it (the README's copy is checked in
// tests/app/cli_test.cpp).

#include "settings/setting_reference.h"

#include <gtest/gtest.h>

#include "settings/setting_notes.h"

namespace varn {
namespace {

// A key added to the catalogue without its notes would reach the operator
// as "(no description)".
TEST(SettingReference, EveryCatalogueKeyHasItsNotesAndEveryNoteItsKey) {
  for (const SettingKeyInfo& info : SettingCatalogue()) {
    const SettingNotes* notes = FindSettingNotes(info.name);
    ASSERT_NE(notes, nullptr) << info.name;
    EXPECT_FALSE(notes->meaning.empty()) << info.name;
    EXPECT_EQ(notes->meaning.find('|'), std::string_view::npos) << info.name;  // breaks the table
  }
  EXPECT_EQ(DescribeAllSettings().find("(no description)"), std::string::npos);
}

TEST(SettingReference, AKeyIsDescribedFromTheCatalogue) {
  const SettingKeyInfo* command = FindSettingKey("EventCommand");
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(DescribeSetting(*command),
            "EventCommand\n"
            "  scope    global\n"
            "  kind     text\n"
            "  values   up to 4096 bytes\n"
            "  default  empty\n"
            "  unit     -\n"
            "  meaning  program run for every event line: a program and its arguments, never a "
            "shell; ${VARN_...} replaced\n");
  const std::string table = SettingsReferenceTable();
  EXPECT_NE(table.find("| `RecFreq_N` | per line (N 1 to 8) | whole number | one of 192000, "),
            std::string::npos);
  EXPECT_NE(table.find("| `ArcOn_N` | per line (N 1 to 8) | whole number | 0 or 1 | 1 | - |"),
            std::string::npos);
}

}  // namespace
}  // namespace varn
