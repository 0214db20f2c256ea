#include "util/thread_priority.h"

#include <pthread.h>
#include <sched.h>

namespace varn {

bool MakeThisThreadBatch() {
#ifdef SCHED_BATCH
  sched_param param{};
  param.sched_priority = 0;  // the only priority SCHED_BATCH has
  return pthread_setschedparam(pthread_self(), SCHED_BATCH, &param) == 0;
#else
  return false;
#endif
}

}  // namespace varn
