// The currency symbol the page prints after costs, taken from the system's money format.
#pragma once
#include <string>

namespace kvo::traffic {

std::string CurrencySymbol();

}  // namespace kvo::traffic
