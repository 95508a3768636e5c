#include "platform/Secrets.h"

#include <string.h> // explicit_bzero
#include <sys/prctl.h>
#include <sys/resource.h>

namespace vornal {

void wipe(void* p, std::size_t n) noexcept {
    if (p != nullptr && n > 0) {
        explicit_bzero(p, n);
    }
}

void forbidCoreDumps() noexcept {
    const rlimit none{0, 0};
    // Lowering a limit and one's own dumpable flag are always allowed; there is nothing
    // to do if the system says otherwise.
    (void)::setrlimit(RLIMIT_CORE, &none);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace vornal
