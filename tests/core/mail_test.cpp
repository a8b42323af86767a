// The mail check against the scripted server and against Dovecot.
#include <gtest/gtest.h>

#include <chrono>

#include "dovecot_box.h"
#include "pop3.h"
#include "pop3_cases.h"
#include "socket_balance.h"

namespace {

// Short waits, so that stalled servers are given up on quickly.
class MailCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = g_pop_timeouts;
        g_pop_timeouts = {2000, 500, 4000};
    }
    void TearDown() override { g_pop_timeouts = saved_; }
    POP_TIMEOUTS saved_;
};

class ScriptedCase : public MailCheck, public ::testing::WithParamInterface<Pop3Case> {};

TEST_P(ScriptedCase, ResultAndWireBytes)
{
    auto start = std::chrono::steady_clock::now();
    ExpectPop3Case(GetParam(), kivo);
    auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_LT(spent, std::chrono::seconds(3)) << "the check was not bounded by its time-outs";
}

INSTANTIATE_TEST_SUITE_P(Scripted, ScriptedCase, ::testing::ValuesIn(Pop3Cases()),
                         [](const ::testing::TestParamInfo<Pop3Case> &info) { return info.param.name; });

TEST_F(MailCheck, RefusedInputsMakeNoConnection)
{
    struct Row {
        const char *host, *user, *password;
    } rows[] = {
        {"127.0.0.1", "", "pw"},
        {"127.0.0.1", "alice", ""},
        {"", "alice", "pw"},
        {"", "", ""},
        {"127.0.0.1", "alice\r\nDELE 1", "pw"},
        {"127.0.0.1", "alice", "pw\nDELE 1"},
        {"127.0.0.1", "alice", "pw\r"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.user) + "/" + row.password + "@" + row.host);
        ScriptServer server(HappyScript("+OK 1 1\r\n"));
        EXPECT_EQ(kivo(row.host, server.port(), row.user, row.password), -1);
        EXPECT_EQ(server.Finish(), "");
        EXPECT_EQ(server.connections(), 0);
        EXPECT_TRUE(SocketLayerBalanced());
    }
}

TEST_F(MailCheck, OnlyTheLowSixteenBitsOfThePortCount)
{
    ScriptServer server(HappyScript("+OK 3 1\r\n"));
    EXPECT_EQ(kivo("127.0.0.1", server.port() + 65536, "alice", "pw"), 3);
    server.Finish();
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(MailCheck, RefusedConnectionAndUnknownHost)
{
    EXPECT_EQ(kivo("127.0.0.1", ClosedPort(), "alice", "pw"), -4);
    EXPECT_TRUE(SocketLayerBalanced());
    EXPECT_EQ(kivo("no-such-host.invalid", 110, "alice", "pw"), -2);
    EXPECT_TRUE(SocketLayerBalanced());
}

TEST_F(MailCheck, WholeCheckIsBoundedEvenWhenEachReplyComesInTime)
{
    g_pop_timeouts = {2000, 1000, 800};
    ScriptServer server({Pause(300), Send("+OK\r\n"), ExpectLine(), Pause(300), Send("+OK\r\n"),
                         ExpectLine(), Pause(300), Send("+OK\r\n"), ExpectLine(), Send("+OK 1 1\r\n")});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(kivo("127.0.0.1", server.port(), "alice", "pw"), -5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1200));
    EXPECT_EQ(server.Finish(), "USER alice\r\nPASS pw\r\n");
    EXPECT_TRUE(SocketLayerBalanced());
}

TEST_F(MailCheck, DovecotCountsTheMaildrop)
{
    int port = DovecotPort();
    ASSERT_NE(port, 0) << "no Dovecot fixture (KIVO_DOVECOT_DIR)";
    g_pop_timeouts = {10000, 20000, 60000};
    EXPECT_EQ(kivo("127.0.0.1", port, "three", DOVECOT_PASSWORD), 3);
    EXPECT_EQ(kivo("localhost", port, "empty", DOVECOT_PASSWORD), 0);
    EXPECT_EQ(kivo("127.0.0.1", port, "three", "wrong-pass"), -5);
    EXPECT_TRUE(SocketLayerBalanced());
}

}  // namespace
