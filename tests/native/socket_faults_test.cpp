// Socket-layer failures that only the native layer can bring about on demand.
#include <gtest/gtest.h>

#include "pop3.h"
#include "script_server.h"
#include "socket_layer.h"

namespace {

class SocketFault : public ::testing::Test {
protected:
    void SetUp() override { SocketLayerReset(); }
    void TearDown() override { SocketLayerReset(); }
};

TEST_F(SocketFault, StartFailsWithNothingToRelease)
{
    g_socket_faults.fail_start = 1;
    ScriptServer server(HappyScript("+OK 1 1\r\n"));
    EXPECT_EQ(kivo("127.0.0.1", server.port(), "alice", "pw"), -10);
    server.Finish();
    EXPECT_EQ(server.connections(), 0);
    SOCKET_LAYER_COUNTS counts = SocketLayerCounts();
    EXPECT_EQ(counts.starts, 0);
    EXPECT_EQ(counts.releases, 0);
}

TEST_F(SocketFault, OtherGrantedVersionIsReleasedOnce)
{
    for (WORD version : {MAKEWORD(2, 2), MAKEWORD(1, 0), MAKEWORD(0, 1)}) {
        SocketLayerReset();
        g_socket_faults.granted_version = version;
        EXPECT_EQ(kivo("127.0.0.1", 110, "alice", "pw"), -10) << version;
        SOCKET_LAYER_COUNTS counts = SocketLayerCounts();
        EXPECT_EQ(counts.starts, 1);
        EXPECT_EQ(counts.releases, 1);
    }
}

TEST_F(SocketFault, NoSocketReleasesTheLayer)
{
    g_socket_faults.fail_socket = 1;
    ScriptServer server(HappyScript("+OK 1 1\r\n"));
    EXPECT_EQ(kivo("127.0.0.1", server.port(), "alice", "pw"), -3);
    server.Finish();
    EXPECT_EQ(server.connections(), 0);
    SOCKET_LAYER_COUNTS counts = SocketLayerCounts();
    EXPECT_EQ(counts.starts, 1);
    EXPECT_EQ(counts.releases, 1);
    EXPECT_EQ(counts.open_sockets, 0);
}

TEST_F(SocketFault, EveryPathReleasesExactlyOnce)
{
    // One check of each outcome in a row: the counts stay paired throughout.
    ScriptServer ok(HappyScript("+OK 2 1\r\n"));
    EXPECT_EQ(kivo("127.0.0.1", ok.port(), "alice", "pw"), 2);
    ok.Finish();
    ScriptServer refused({Send("-ERR\r\n")});
    EXPECT_EQ(kivo("127.0.0.1", refused.port(), "alice", "pw"), -5);
    refused.Finish();
    EXPECT_EQ(kivo("127.0.0.1", ClosedPort(), "alice", "pw"), -4);
    EXPECT_EQ(kivo("no-such-host.invalid", 110, "alice", "pw"), -2);
    EXPECT_EQ(kivo("127.0.0.1", 110, "", "pw"), -1);
    SOCKET_LAYER_COUNTS counts = SocketLayerCounts();
    EXPECT_EQ(counts.starts, 4);
    EXPECT_EQ(counts.releases, 4);
    EXPECT_EQ(counts.open_sockets, 0);
}

}  // namespace
