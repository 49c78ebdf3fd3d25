// kvo-device: makes and tends an emulated handheld for the suite.
#include <iostream>
#include <string>
#include <vector>

#include "tools/kvo-device/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return kvo::device::Main(args, std::cout, std::cerr);
}
