#pragma once

#include "base/ProcedureError.h"

#include <csignal>
#include <functional>
#include <optional>
#include <sys/resource.h>

namespace quarvex::test {

// Runs body with every file of this process limited to limit bytes, which
// holds even for root: a write past it fails with "File too large", as on a
// full disk, instead of raising SIGXFSZ. Returns body's failure.
inline std::optional<Failure> underFileSizeLimit(rlim_t limit, const std::function<void()>& body) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto failure = failureOf(body);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    return failure;
}

} // namespace quarvex::test
