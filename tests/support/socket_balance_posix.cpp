#include "socket_balance.h"

#include "socket_layer.h"

::testing::AssertionResult SocketLayerBalanced()
{
    SOCKET_LAYER_COUNTS counts = SocketLayerCounts();
    if (counts.starts == counts.releases && counts.open_sockets == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << counts.starts << " starts, " << counts.releases
                                         << " releases, " << counts.open_sockets << " sockets open";
}
