#include "socket_balance.h"

#include <winsock2.h>

#include "script_server.h"

// Windows keeps one count of starts per process. The test's own servers hold
// exactly one start (made here first); any more were left by the code under
// test. Open sockets show at the servers, which see the client close.
::testing::AssertionResult SocketLayerBalanced()
{
    StartTestSockets();
    int outstanding = 0;
    while (outstanding < 100 && WSACleanup() == 0)
        outstanding++;
    for (int i = 0; i < outstanding; i++) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    if (outstanding == 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << outstanding - 1 << " socket-layer starts not released";
}
