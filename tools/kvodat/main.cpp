#include <iostream>

#include "tools/kvodat/kvodat_tool.h"

int main(int argc, char** argv) {
    return kvo::kvodat::Main(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
