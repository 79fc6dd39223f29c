// Numbers as the report prints them.
#pragma once

#include <string>

namespace talven::validate {

// value with digits decimals ("1.50").
std::string fixed(double value, int digits);

// A level in dBFS with one decimal, "-inf" for silence.
std::string dbfs(double level);

} // namespace talven::validate
