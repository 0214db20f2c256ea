// The hooks of a headless monitor run as a service: what a hook prints goes
// to the diagnostics file, never into the event lines on standard output,
// and a hook sees neither the service manager's variables nor the priority
// varn raised itself to.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/text_lines.h"
#include "varn_run.h"

namespace varn {
namespace {

TEST(HooksRun, AHooksOutputGoesToTheDiagnosticsFileAndItRunsWithoutTheServiceVariables) {
  test::TempDir app;
  const std::string hook = app / "hook.sh";
  test::WriteText(hook,
                  "#!/bin/sh\n"
                  "echo \"hook says $VARN_EVENT\"\n"
                  "echo \"hook complains\" >&2\n"
                  "{ env | grep -E '^(NOTIFY|WATCHDOG)_'; echo \"nice $(nice)\"; } > " +
                      app / "seen.$$\n");
  chmod(hook.c_str(), 0755);
  test::WriteText(app / "varn.ini",
                  "[conf]\nNumRec=1\nDeviceName_1=Sim Silence\nArcOn_1=0\n"
                  "EventCommand=" +
                      hook + "\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim", "--duration", "1"},
                    {"NOTIFY_SOCKET=" + app / "notify", "WATCHDOG_USEC=400000"});
  ASSERT_EQ(run.Wait(20), 0) << run.Err();

  EXPECT_NE(run.Out().find("録音開始"), std::string::npos) << run.Out();
  EXPECT_EQ(run.Out().find("hook"), std::string::npos) << run.Out();
  const std::string diagnostics = test::DiagnosticsFiles(app.Path());
  EXPECT_NE(diagnostics.find("EventCommand output: hook says record_start"), std::string::npos)
      << diagnostics;
  EXPECT_NE(diagnostics.find("EventCommand output: hook complains"), std::string::npos);
  size_t runs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(app.Path())) {
    if (!entry.path().filename().string().starts_with("seen.")) continue;
    ++runs;
    // As root varn runs at nice -10; its hooks do not.
    EXPECT_EQ(test::ReadText(entry.path().string()), "nice 0\n") << entry.path();
  }
  EXPECT_GE(runs, 2u);  // the start line and the channel's start at least
}

}  // namespace
}  // namespace varn
