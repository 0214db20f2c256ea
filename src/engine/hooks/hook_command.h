#pragma once
// A hook's command line: a program and its arguments, split at blanks, with
// double quotes grouping a word that contains blanks. It is never given to a
// shell: ";", "|", "$", quotes inside a word and everything else are plain
// characters, except that varn itself replaces references "${VARN_NAME}" to
// the variables of the run (as systemd does in ExecStart=), so
// "rclone copy ${VARN_FILE} remote:day" works without a shell.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace varn {

// The words of `command`. A word that starts with a double quote runs to
// the next double quote (the quotes are not part of it); an unclosed quote
// runs to the end. Empty when the command has no words.
std::vector<std::string> SplitHookCommand(std::string_view command);

// `word` with every "${VARN_...}" replaced by its value in `vars` (the empty
// text for a VARN_ name the run does not have); other text is left as it is.
std::string ExpandHookWord(std::string_view word, const std::map<std::string, std::string>& vars);

}  // namespace varn
