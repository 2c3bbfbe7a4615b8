#include "report/print_format.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace ordena {

MString printFormat(const char* format, ...) {
    char small[256];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return MString();
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        va_end(again);
        return MString(std::string(small, static_cast<std::size_t>(n)));
    }
    // A huge value printed with %f can run to hundreds of digits.
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    big.resize(static_cast<std::size_t>(n));
    return MString(std::move(big));
}

}  // namespace ordena
