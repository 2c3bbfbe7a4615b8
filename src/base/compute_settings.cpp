#include "base/compute_settings.h"

#include <cstdlib>
#include <cstring>
#include <thread>

namespace ordena {

ComputeSettings ComputeSettings::fromEnvironment() {
    ComputeSettings s;
    const unsigned cores = std::thread::hardware_concurrency();
    s.threads = cores > 0 ? static_cast<int>(cores) : 1;
    if (const char* t = std::getenv("ORDENA_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(t, &end, 10);
        if (end != t && *end == '\0' && n >= 1) s.threads = n > 256 ? 256 : static_cast<int>(n);
    }
    if (const char* g = std::getenv("ORDENA_GENERAL_PATH")) s.generalPath = std::strcmp(g, "1") == 0;
    return s;
}

}  // namespace ordena
