#include "base/number_format.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/shell.h"

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

MString dtoMString(double value, const MString& format) {
    int point = format.find('.');
    MString widthText = point >= 1 ? format.mid(1, point - 1) : format.mid(1, format.length() - 2);
    MString precisionText = point >= 0 ? format.mid(point + 1, format.length() - point - 2) : MString("0");
    int width = widthText.toInt();
    int precision = precisionText.toInt();
    if (width > 20) fatalExit("Fatal error: dtoMString format too large");
    if (precision > width) return "_ERR_";
    if (width < 0) width = 0;
    if (precision < 0) precision = 0;

    double a = std::fabs(value);
    int sign = value < 0 ? 1 : 0;
    double L = std::log10(a);
    if (L < 0) L = 0;  // also for 0, whose logarithm is minus infinity
    if (L + 1 > width - precision - sign) return "_BIG_";

    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%*.*f", width, precision, value);
    return MString(buffer);
}

}  // namespace ordena
