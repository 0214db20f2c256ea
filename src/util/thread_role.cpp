#include "util/thread_role.h"

namespace varn {

ThreadRole gProgramThreadRole;
ThreadRole gArchiveThreadRole;
ThreadRole gLogThreadRole;
ThreadRole gSweepThreadRole;
ThreadRole gAudioThreadRole;
ThreadRole gStreamThreadRole;

}  // namespace varn
