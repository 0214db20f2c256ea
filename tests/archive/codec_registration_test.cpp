#include "archive/codec_registration.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "archive/mp3acm.h"
#include "util/user_notice.h"

namespace varn {
namespace {

class MemoryRegistry final : public CodecRegistry {
 public:
  std::string ReadValue(std::string_view key, std::string_view name) override {
    const auto it = values.find(Key(key, name));
    return it == values.end() ? "" : it->second;
  }
  bool WriteValue(std::string_view key, std::string_view name, std::string_view value) override {
    if (!writable) return false;
    values[Key(key, name)] = std::string(value);
    ++writes;
    return true;
  }
  bool FileExists(std::string_view path) override { return files.count(std::string(path)) > 0; }
  std::string SystemFolder() override { return "C:\\Windows\\system32\\"; }

  static std::string Key(std::string_view key, std::string_view name) {
    return std::string(key) + "|" + std::string(name);
  }
  std::string Wow() { return ReadValue(kDrivers32Key32On64, kCodecValueName); }
  std::string Native() { return ReadValue(kDrivers32Key, kCodecValueName); }

  std::map<std::string, std::string> values;
  std::set<std::string> files;
  bool writable = true;
  int writes = 0;
};

class RecordingNotice final : public UserNotice {
 public:
  void Show(std::string_view text, std::string_view, NoticeIcon icon) override {
    texts.emplace_back(text);
    icons.push_back(icon);
  }
  std::vector<std::string> texts;
  std::vector<NoticeIcon> icons;
};

class CodecRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { SetActiveNotice(&notice); }
  void TearDown() override { SetActiveNotice(nullptr); }
  void SetWow(const std::string& v) {
    registry.values[MemoryRegistry::Key(kDrivers32Key32On64, kCodecValueName)] = v;
  }
  void SetNative(const std::string& v) {
    registry.values[MemoryRegistry::Key(kDrivers32Key, kCodecValueName)] = v;
  }

  MemoryRegistry registry;
  RecordingNotice notice;
};

TEST_F(CodecRegistrationTest, A32BitRegistrationOfTheLimitedDriverIsPointedAtThePreferredOne) {
  SetWow("C:\\Windows\\SysWOW64\\L3codecA.acm");
  EXPECT_EQ(CheckCodecRegistration(registry), 1);
  EXPECT_EQ(registry.Wow(), "C:\\Windows\\SysWOW64\\l3codecp.acm");
  EXPECT_TRUE(notice.texts.empty());

  // Without the rights to write: the operator is told, nothing is usable.
  SetWow("C:\\Windows\\SysWOW64\\l3codeca.acm");
  registry.writable = false;
  EXPECT_EQ(CheckCodecRegistration(registry), 0);
  ASSERT_EQ(notice.texts.size(), 1u);
  EXPECT_EQ(notice.texts[0], "mp3エンコーダー登録ができません");
  EXPECT_EQ(notice.icons[0], NoticeIcon::Error);
}

TEST_F(CodecRegistrationTest, A32BitRegistrationDecidesAlone) {
  SetWow("C:\\Windows\\SysWOW64\\l3codecp.acm");
  SetNative("C:\\other\\l3codecp.acm");
  EXPECT_EQ(CheckCodecRegistration(registry), 1);
  SetWow("C:\\Windows\\SysWOW64\\someother.acm");
  registry.files.insert("C:\\other\\l3codecp.acm");
  EXPECT_EQ(CheckCodecRegistration(registry), 0);  // the native value is not consulted
  EXPECT_EQ(registry.writes, 0);
  EXPECT_TRUE(notice.texts.empty());
}

TEST_F(CodecRegistrationTest, ANativeRegistrationCountsWhenItsFileExists) {
  SetNative("C:\\codecs\\l3codecx.acm");
  EXPECT_EQ(CheckCodecRegistration(registry), 0);  // no such file, no preferred driver
  registry.files.insert("C:\\codecs\\l3codecx.acm");
  EXPECT_EQ(CheckCodecRegistration(registry), 1);
  EXPECT_EQ(registry.writes, 0);
  EXPECT_TRUE(notice.texts.empty());
}

TEST_F(CodecRegistrationTest, ThePreferredDriverInTheSystemFolderIsRegisteredWhenNeeded) {
  // The limited driver is registered and present, but only decodes.
  SetNative("C:\\Windows\\system32\\l3codeca.acm");
  registry.files.insert("C:\\Windows\\system32\\l3codeca.acm");
  EXPECT_EQ(CheckCodecRegistration(registry), 0);
  registry.files.insert("C:\\Windows\\system32\\l3codecp.acm");
  EXPECT_EQ(CheckCodecRegistration(registry), 1);
  EXPECT_EQ(registry.Native(), "C:\\Windows\\system32\\l3codecp.acm");
  // Nothing registered at all, preferred file present but no rights.
  registry.values.clear();
  registry.writable = false;
  EXPECT_EQ(CheckCodecRegistration(registry), 0);
  EXPECT_EQ(notice.texts, std::vector<std::string>{"mp3エンコーダー登録ができません"});
}

TEST_F(CodecRegistrationTest, InitOverARegistrySetsEncAvailable) {
  C_mp3acm codec;
  codec.Init(registry);
  EXPECT_EQ(codec.EncAvailable(), 0);
  SetWow("D:\\x\\l3codecp.acm");
  codec.Init(registry);
  EXPECT_EQ(codec.EncAvailable(), 1);
}

}  // namespace
}  // namespace varn
