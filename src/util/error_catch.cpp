#include "util/error_catch.h"

namespace varn {

namespace {
int gErrorCatch = 0;
}

int ErrorCatch() { return gErrorCatch; }
void SetErrorCatch(int value) { gErrorCatch = value; }

}  // namespace varn
