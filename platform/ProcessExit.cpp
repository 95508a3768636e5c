#include "platform/ProcessExit.h"

#include <cstdio>
#include <cstdlib>

namespace vornal {

void SystemProcessExit::exitNow() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace vornal
