// The console's own parts: byte ranges read from a Range header, the users
// file, the password hashes, and who the gate lets in (the cache of
// verified passwords, and the throttling of an address that keeps failing).

#include <gtest/gtest.h>

#include "ops/web/byte_range.h"
#include "ops/web/password_hash.h"
#include "ops/web/web_auth.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

TEST(WebPartsTest, ByteRangesAreReadAsHttpSaysAndAnythingElseGetsTheWholeFile) {
  struct Case {
    const char* header;
    ByteRangeRead::Kind kind;
    int64_t first, length;
  };
  const Case cases[] = {
      {nullptr, ByteRangeRead::Whole, 0, 1000},
      {"bytes=0-99", ByteRangeRead::Part, 0, 100},
      {"bytes=900-", ByteRangeRead::Part, 900, 100},
      {"bytes=990-5000", ByteRangeRead::Part, 990, 10},  // cut at the end
      {"bytes=-10", ByteRangeRead::Part, 990, 10},
      {"bytes=-5000", ByteRangeRead::Part, 0, 1000},
      {"bytes=1000-", ByteRangeRead::Unsatisfiable, 0, 0},
      {"bytes=-0", ByteRangeRead::Unsatisfiable, 0, 0},
      {"bytes=0-1,5-6", ByteRangeRead::Whole, 0, 1000},  // several: the whole file
      {"bytes=5-1", ByteRangeRead::Whole, 0, 1000},
      {"bytes=a-b", ByteRangeRead::Whole, 0, 1000},
      {"bytes=-", ByteRangeRead::Whole, 0, 1000},
      {"items=0-1", ByteRangeRead::Whole, 0, 1000},
      {"bytes=-1-2", ByteRangeRead::Whole, 0, 1000},
  };
  for (const Case& c : cases) {
    const ByteRangeRead r = ReadByteRange(c.header, 1000);
    EXPECT_EQ(r.kind, c.kind) << (c.header ? c.header : "none");
    EXPECT_EQ(r.first, c.first) << (c.header ? c.header : "none");
    EXPECT_EQ(r.length, c.length) << (c.header ? c.header : "none");
  }
}

TEST(WebPartsTest, AUsersFileThatCannotBeUsedIsNamedWithWhatIsWrong) {
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(LoadUsersFile(dir.Path() + "none", error));
  EXPECT_NE(error.find(dir.Path() + "none"), std::string::npos) << error;
  test::WriteText(dir.Path() + "bad", "# users\nalice:$y$j9T$abc$def\nbob secret\n");
  EXPECT_FALSE(LoadUsersFile(dir.Path() + "bad", error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  test::WriteText(dir.Path() + "plain", "carol:secret\n");  // a password, not a hash
  EXPECT_FALSE(LoadUsersFile(dir.Path() + "plain", error));
  test::WriteText(dir.Path() + "empty", "# nobody yet\n\n");
  EXPECT_FALSE(LoadUsersFile(dir.Path() + "empty", error));
  EXPECT_NE(error.find("no user"), std::string::npos) << error;

  test::WriteText(dir.Path() + "good", "alice:$y$j9T$abc$def\r\n\nbob:$y$x$y$z\n");
  const auto users = LoadUsersFile(dir.Path() + "good", error);
  ASSERT_TRUE(users);
  EXPECT_EQ(users->hashes.at("alice"), "$y$j9T$abc$def");
  EXPECT_EQ(users->hashes.size(), 2u);
}

TEST(WebPartsTest, TheGateLetsInTheRightPasswordOnlyAndThrottlesGuessing) {
  const std::string hash = HashPassword("correct horse");
  ASSERT_TRUE(hash.starts_with("$y$")) << hash;
  EXPECT_NE(HashPassword("correct horse"), hash);  // salted
  EXPECT_TRUE(PasswordMatches("correct horse", hash));
  EXPECT_FALSE(PasswordMatches("correct hors", hash));
  EXPECT_FALSE(PasswordMatches("correct horse", "plain"));

  UsersFile users;
  users.hashes["alice"] = hash;
  WebAuth auth(users);
  using V = WebAuth::Verdict;
  auto now = WebAuth::Clock::now();
  EXPECT_EQ(auth.Check(nullptr, nullptr, "10.0.0.1", now), V::Missing);
  EXPECT_EQ(auth.Check("alice", "correct horse", "10.0.0.1", now), V::Allowed);
  // A verified pair is remembered, but only that pair.
  EXPECT_EQ(auth.Check("alice", "correct horse", "10.0.0.1", now), V::Allowed);
  EXPECT_EQ(auth.Check("alice", "wrong", "10.0.0.1", now), V::Wrong);
  EXPECT_EQ(auth.Check("mallory", "correct horse", "10.0.0.1", now), V::Wrong);
  EXPECT_EQ(auth.Check("alice", "", "10.0.0.1", now), V::Wrong);
  // And for a while only: later it is checked against the file again.
  const auto later = now + std::chrono::seconds(static_cast<int>(kAuthCacheSec) + 1);
  EXPECT_EQ(auth.Check("alice", "correct horse", "10.0.0.3", later), V::Allowed);

  // An address that keeps failing is refused, the right password too, until
  // its window has passed; another address is not held up.
  for (int i = 0; i < kAuthFailureLimit - 3; ++i)
    EXPECT_EQ(auth.Check("alice", "guess", "10.0.0.1", now), V::Wrong);
  EXPECT_EQ(auth.Check("alice", "correct horse", "10.0.0.1", now), V::Throttled);
  EXPECT_GT(auth.RetryAfterSec("10.0.0.1", now), 0);
  EXPECT_EQ(auth.Check("alice", "correct horse", "10.0.0.2", now), V::Allowed);
  const auto after = now + std::chrono::seconds(static_cast<int>(kAuthFailureWindowSec) + 1);
  EXPECT_EQ(auth.Check("alice", "correct horse", "10.0.0.1", after), V::Allowed);
}

}  // namespace
}  // namespace varn
