#include "Text.h"

#include <cmath>
#include <cstdio>

namespace talven::validate {

std::string fixed(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

std::string dbfs(double level)
{
    return std::isfinite(level) ? fixed(level, 1) + " dBFS" : std::string(level < 0 ? "-inf dBFS" : "nan dBFS");
}

} // namespace talven::validate
