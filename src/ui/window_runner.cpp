#include "ui/window_runner.h"

#include <QApplication>
#include <QSessionManager>
#include <cstdlib>
#include <iostream>

#include "engine/headless_runner.h"
#include "engine/program_start.h"
#include "ops/metrics_endpoint.h"
#include "ui/fonts/ui_font.h"
#include "ui/main_window/frm_main.h"
#include "ui/main_window/stop_signal_notifier.h"
#include "ui/services/message_box_notice.h"
#include "util/text.h"
#include "util/thread_role.h"
#include "util/user_notice.h"

namespace varn {

int RunWindow(const WindowOptions& options, int& argc, char** argv) {
  // This thread is the program's: Qt's event loop runs the engine here.
  ThreadRoleScope programThread(gProgramThreadRole);
  ProgramStart start;
  // A second monitor on the same folder ends before any window shows.
  if (!start.Begin(options.appFolder)) return kExitAlreadyRunning;
  start.ReportSettingsProblems(std::cerr);

  QApplication app(argc, argv);
  QApplication::setApplicationName("varn");
  QApplication::setOrganizationName("VarnAudio");
  UseUiFaceForApplication();
  start.OpenAudio(options.audio);
  std::cerr << "varn: " << start.AudioNote() << std::endl;
  // Made before the window and gone after it: the engine tells it every tick.
  std::string fatal;
  std::unique_ptr<MetricsEndpoint> metrics =
      MetricsEndpoint::Start(options.metricsListen, start.Program().Log(), &std::cerr, &fatal);
  if (!fatal.empty()) {
    for (const std::string& line : start.Finish(kLastLinesSec, true))
      std::cerr << "varn: " << line << std::endl;
    return 2;
  }

  FrmMain window(start);
  if (metrics) window.SetMetricsObserver(metrics->Observer());
  MessageBoxNotice notice(&window);
  SetActiveNotice(&notice);
  StopSignalNotifier stop([&window](int) { window.CloseForSessionEnd(); });
  // Logging out: the display choices are stored and the channels stopped
  // before the session takes the process away.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager&) { window.CloseForSessionEnd(); });
  window.show();
  window.FormLoad();
  const int status = app.exec();
  window.Unload();
  SetActiveNotice(nullptr);
  for (const std::string& line : start.Finish(kLastLinesSec, true))
    std::cerr << "varn: " << line << std::endl;
  if (Engine* engine = window.GetEngine()) {
    const TickStats& stats = engine->Stats();
    std::cerr << "varn: " << stats.ticks << " ticks, mean " << FormatFixed(stats.MeanMs(), 3)
              << " ms, longest " << FormatFixed(stats.longestMs, 3) << " ms" << std::endl;
  }
  return status;
}

}  // namespace varn
