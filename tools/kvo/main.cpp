// kvo: the suite's command line.
#include <iostream>
#include <string>
#include <vector>

#include "tools/kvo/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return kvo::cli::Main(args, std::cout, std::cerr);
}
