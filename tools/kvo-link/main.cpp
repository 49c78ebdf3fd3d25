// kvo-link: the process that carries one dial-up connection (started by RasDial).
#include "platform/ras_link.h"

int main(int argc, char** argv) { return ce::RunLinkProgram(argc, argv); }
