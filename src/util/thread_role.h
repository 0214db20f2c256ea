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

namespace varn {

class VARN_CAPABILITY("thread role") ThreadRole {};

extern ThreadRole gProgramThreadRole;
extern ThreadRole gArchiveThreadRole;
extern ThreadRole gLogThreadRole;

// Takes on a role for the rest of a scope: where a thread's work begins.
class VARN_SCOPED_CAPABILITY ThreadRoleScope {
 public:
  explicit ThreadRoleScope([[maybe_unused]] ThreadRole& role) VARN_ACQUIRE(role) {}
  ~ThreadRoleScope() VARN_RELEASE() {}
  ThreadRoleScope(const ThreadRoleScope&) = delete;
  ThreadRoleScope& operator=(const ThreadRoleScope&) = delete;
};

}  // namespace varn

#define VARN_PROGRAM_THREAD VARN_REQUIRES(::varn::gProgramThreadRole)
#define VARN_ARCHIVE_THREAD VARN_REQUIRES(::varn::gArchiveThreadRole)
#define VARN_LOG_THREAD VARN_REQUIRES(::varn::gLogThreadRole)
#define VARN_PROGRAM_OWNED VARN_GUARDED_BY(::varn::gProgramThreadRole)
#define VARN_ARCHIVE_OWNED VARN_GUARDED_BY(::varn::gArchiveThreadRole)
