// One phone session in a process of its own, for tests that kill it in the middle of a
// command: kvocomm_session_child PORT COMMAND TIMEOUT prints the reply and exits 0 when the
// exchange completed, 1 when it did not, 2 on a bad command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kvocomm/kvocomm.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: kvocomm_session_child PORT COMMAND TIMEOUT\n");
        return 2;
    }
    CKvoComm& engine = GetKvoComm();
    engine.StartSAR();
    if (!engine.OpenPort(ce::FromUtf8(argv[1])) || !engine.SetParams(9600, 0, 8, 0)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        engine.StopSAR();
        return 1;
    }
    std::u16string reply;
    int ok = engine.SendAndReceive(argv[2], reply, 0, std::atoi(argv[3]));
    std::printf("%s\n", ce::ToUtf8(reply).c_str());
    engine.ClosePort();
    engine.StopSAR();
    return ok ? 0 : 1;
}
