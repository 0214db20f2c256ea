#include "app/analyze_report.h"

#include <cmath>
#include <exception>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "app/commands.h"
#include "archive/file_access.h"
#include "archive/pcm_file.h"
#include "log/event_kinds.h"
#include "util/text.h"

namespace varn {

namespace {

// Keys in the order written: "file" first, as a person reads it.
using json = nlohmann::ordered_json;

// Rounded so the text reads as a person wrote it (-23.05, not
// -23.049999999999997): far below what any figure here can tell apart.
// Dividing by a power of ten gives the double nearest the decimal.
json Number(double value, double scale = 100.0) { return std::round(value * scale) / scale; }
json Figure(const std::optional<double>& value) { return value ? Number(*value) : json(nullptr); }
std::string TextFigure(const std::optional<double>& value) {
  return value ? FormatFixed(*value, 1) : "---";
}

json Sides(double left, double right) { return {{"L", Number(left)}, {"R", Number(right)}}; }

std::string SideName(int side) {
  if (side == kWholeChannel) return "";
  return side == kRightSide ? "R" : "L";
}

// The analysis, or the operator's words for why there is none.
struct Outcome {
  std::string error;  // set when it failed
  FileAnalysisResult result;
  int32_t rate = 0;
  std::vector<FileEvent> events;
};

Outcome Analyse(const std::string& path, const FileAnalysisSetup& setup) {
  Outcome o;
  std::string error;
  ClearFileError();
  const std::unique_ptr<PcmFileReader> source = OpenPcmFile(path, &error);
  if (!source || (source->Channels() != 1 && source->Channels() != 2)) {
    if (source)
      error = "holds " + std::to_string(source->Channels()) +
              " channels; only mono or stereo can be analysed";
    // The reader's own words, with the system's reason when a file call failed.
    std::string reason = source ? "" : LastFileError();
    if (const size_t colon = reason.rfind(": "); colon != std::string::npos)
      reason = " (" + reason.substr(colon + 2) + ")";
    o.error = path + " " + error + reason;
    return o;
  }
  o.rate = source->SampleRate();
  o.result = AnalyseRecording(*source, setup, [&o](const FileEvent& e) { o.events.push_back(e); });
  if (!o.result.ok) o.error = FileFailure(path + " " + o.result.error);
  return o;
}

FileReport TextReport(const std::string& path, const Outcome& o, bool heading, bool loudness) {
  FileReport r;
  if (heading) r.out += "== " + path + "\n";
  const std::optional<DateTime> start = ArchiveStartTime(path);
  for (const FileEvent& e : o.events) r.out += EventLine(e, start) + "\n";
  if (!o.error.empty()) {
    r.err = "varn: " + o.error + "\n";
    r.failed = true;
    return r;
  }
  r.out += LevelsLine(o.result.levelMax, o.result.levelMin) + "\n";
  if (loudness && o.result.loudness) r.out += LoudnessLine(*o.result.loudness) + "\n";
  return r;
}

FileReport JsonReport(const std::string& path, const Outcome& o) {
  FileReport r;
  json j;
  j["file"] = path;
  if (!o.error.empty()) {
    j["error"] = o.error;
    r.failed = true;
  } else {
    j["duration_s"] = Number(static_cast<double>(o.result.framesRead) / o.rate, 1000.0);
    const std::optional<DateTime> start = ArchiveStartTime(path);
    json events = json::array();
    for (const FileEvent& e : o.events) {
      events.push_back({{"time_s", Number(static_cast<double>(e.positionMs) / 1000.0, 1000.0)},
                        {"event", std::string(EventKind(e.message))},
                        {"side", SideName(e.side)},
                        {"text", e.message},
                        {"wall_time", start ? json(WallTimeText(*start, e.positionMs)) : json()}});
    }
    j["events"] = std::move(events);
    const LevelRecord& max = o.result.levelMax;
    const LevelRecord& min = o.result.levelMin;
    j["levels"] = {{"max_peak_db", Sides(max.PeakL, max.PeakR)},
                   {"max_rms_db", Sides(max.RmsL, max.RmsR)},
                   {"min_peak_db", Sides(min.PeakL, min.PeakR)},
                   {"min_rms_db", Sides(min.RmsL, min.RmsR)}};
    if (o.result.loudness) {
      const LoudnessFigures& f = *o.result.loudness;
      j["loudness"] = {{"integrated_lufs", Figure(f.integratedLufs)},
                       {"range_lu", Figure(f.rangeLu)},
                       {"momentary_max_lufs", Figure(f.momentaryMaxLufs)},
                       {"short_term_max_lufs", Figure(f.shortTermMaxLufs)},
                       {"true_peak_dbtp", Figure(f.truePeakDbtp)}};
    }
  }
  // Invalid UTF-8 in a file name is replaced rather than thrown on.
  r.out = j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  return r;
}

}  // namespace

FileReport AnalyseFileReport(const std::string& path, const FileAnalysisSetup& setup,
                             ReportFormat format, bool heading) {
  Outcome o;
  try {
    o = Analyse(path, setup);
  } catch (const std::exception& e) {
    // A job never lets an exception out: the other files go on.
    o = Outcome{};
    o.error = path + " could not be analysed (" + e.what() + ")";
  }
  return format == ReportFormat::Json ? JsonReport(path, o)
                                      : TextReport(path, o, heading, setup.loudness);
}

std::string LoudnessLine(const LoudnessFigures& f) {
  return "loudness I " + TextFigure(f.integratedLufs) + " LRA " + TextFigure(f.rangeLu) + " Mmax " +
         TextFigure(f.momentaryMaxLufs) + " Smax " + TextFigure(f.shortTermMaxLufs) + " TP " +
         TextFigure(f.truePeakDbtp);
}

}  // namespace varn
