#pragma once
// Which thread may call what, in a form the compiler checks. A thread role
// is not a lock: it is a name that a thread takes on where its work begins
// (ThreadRoleScope), and that a function or a member declares it needs.
// Clang's thread-safety analysis (-Wthread-safety) then refuses a call from
// code that has not taken the role: the archive worker calling into the
// program's half of a lane, say. Other compilers ignore the marks.
//
//   the program's thread  owns the program's state: the tick, the commands,
//                         every decision about files and events
//   the archive thread    names, encodes and writes the archive files
//   the log thread        appends the event and diagnostics lines
//   the sweep thread      lists the archive folders and deletes what
//                         retention and the free-space guard give up
//   an audio thread       a backend's thread: fills or drains the queued
//                         headers (or the program's thread, while it holds
//                         the backend's thread off)
//   a stream thread       a network stream's reader: connects, decodes and
//                         fills the stream's jitter buffer, on the audio
//                         side of the rings; it may block on the network,
//                         so it never touches a header

#if defined(__clang__)
#define VARN_TSA(x) __attribute__((x))
#else
#define VARN_TSA(x)
#endif

#define VARN_CAPABILITY(x) VARN_TSA(capability(x))
#define VARN_SCOPED_CAPABILITY VARN_TSA(scoped_lockable)
#define VARN_REQUIRES(...) VARN_TSA(requires_capability(__VA_ARGS__))
#define VARN_ACQUIRE(...) VARN_TSA(acquire_capability(__VA_ARGS__))
#define VARN_RELEASE(...) VARN_TSA(release_capability(__VA_ARGS__))
#define VARN_GUARDED_BY(x) VARN_TSA(guarded_by(x))
#define VARN_ASSERT_CAPABILITY(x) VARN_TSA(assert_capability(x))
#define VARN_NO_THREAD_ANALYSIS VARN_TSA(no_thread_safety_analysis)

namespace varn {

class VARN_CAPABILITY("thread role") ThreadRole {};

extern ThreadRole gProgramThreadRole;
extern ThreadRole gArchiveThreadRole;
extern ThreadRole gLogThreadRole;
extern ThreadRole gSweepThreadRole;
extern ThreadRole gAudioThreadRole;
extern ThreadRole gStreamThreadRole;

// Takes on a role for the rest of a scope: where a thread's work begins.
class VARN_SCOPED_CAPABILITY ThreadRoleScope {
 public:
  explicit ThreadRoleScope([[maybe_unused]] ThreadRole& role) VARN_ACQUIRE(role) {}
  ~ThreadRoleScope() VARN_RELEASE() {}
  ThreadRoleScope(const ThreadRoleScope&) = delete;
  ThreadRoleScope& operator=(const ThreadRoleScope&) = delete;
};

// The code from here on runs on the program's thread: a lambda that a
// program-thread function runs at once (the analysis looks at a lambda as a
// function of its own), or the one place where a dispatch decides by its
// own rule that it is on that thread.
inline void OnProgramThread() VARN_ASSERT_CAPABILITY(gProgramThreadRole) {}
inline void OnArchiveThread() VARN_ASSERT_CAPABILITY(gArchiveThreadRole) {}

}  // namespace varn

#define VARN_PROGRAM_THREAD VARN_REQUIRES(::varn::gProgramThreadRole)
#define VARN_ARCHIVE_THREAD VARN_REQUIRES(::varn::gArchiveThreadRole)
#define VARN_LOG_THREAD VARN_REQUIRES(::varn::gLogThreadRole)
#define VARN_SWEEP_THREAD VARN_REQUIRES(::varn::gSweepThreadRole)
#define VARN_AUDIO_THREAD VARN_REQUIRES(::varn::gAudioThreadRole)
#define VARN_PROGRAM_OWNED VARN_GUARDED_BY(::varn::gProgramThreadRole)
#define VARN_ARCHIVE_OWNED VARN_GUARDED_BY(::varn::gArchiveThreadRole)
#define VARN_SWEEP_OWNED VARN_GUARDED_BY(::varn::gSweepThreadRole)
#define VARN_AUDIO_OWNED VARN_GUARDED_BY(::varn::gAudioThreadRole)
#define VARN_STREAM_THREAD VARN_REQUIRES(::varn::gStreamThreadRole)
