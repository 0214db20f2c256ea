#pragma once
// One file of `varn analyze`: its analysis, and what the command prints for
// it, kept until the files before it have been printed. Safe to run for
// several files at once: everything it uses is its own or read-only.

#include <string>

#include "analysis/file_analysis.h"

namespace varn {

enum class ReportFormat { Text, Json };

struct FileReport {
  std::string out;  // for standard output
  std::string err;  // for standard error (text only; JSON reports failures in `out`)
  bool failed = false;
};

// Text: the event lines, the levels line and with loudness the loudness
// line, after a line "== FILE" when `heading`; a failure goes to `err`.
// JSON: one line, the file's object or {"file": ..., "error": ...}.
FileReport AnalyseFileReport(const std::string& path, const FileAnalysisSetup& setup,
                             ReportFormat format, bool heading);

// "loudness I -23.0 LRA 5.2 Mmax -20.1 Smax -21.0 TP -1.0": LUFS, LU and
// dBTP, "%.1f" each, "---" for a figure that does not exist.
std::string LoudnessLine(const LoudnessFigures& figures);

}  // namespace varn
