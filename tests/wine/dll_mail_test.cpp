// The mail check through the built kivo.dll, called as any program calls it.
#include <gtest/gtest.h>

#include <chrono>

#include "dovecot_box.h"
#include "plugin_module.h"
#include "pop3_cases.h"
#include "socket_balance.h"

namespace {

CheckFunction Kivo()
{
    return PluginEntry<CheckFunction>("kivo");
}

std::vector<Pop3Case> CasesWithoutStalls()
{
    std::vector<Pop3Case> cases;
    for (const Pop3Case &c : Pop3Cases())
        if (!c.stalls)
            cases.push_back(c);
    return cases;
}

class DllCase : public ::testing::TestWithParam<Pop3Case> {};

TEST_P(DllCase, ResultAndWireBytes)
{
    ASSERT_NE(Kivo(), nullptr);
    ExpectPop3Case(GetParam(), Kivo());
}

INSTANTIATE_TEST_SUITE_P(Scripted, DllCase, ::testing::ValuesIn(CasesWithoutStalls()),
                         [](const ::testing::TestParamInfo<Pop3Case> &info) { return info.param.name; });

TEST(DllMailCheck, StalledServerIsGivenUpAfterTheReplyTimeOut)
{
    ScriptServer server({Pause(60000)});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Kivo()("127.0.0.1", server.port(), "alice", "pw"), -5);
    auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_GE(spent, std::chrono::milliseconds(19500)) << "a slow server must get 20 seconds";
    EXPECT_LT(spent, std::chrono::seconds(30));
    EXPECT_EQ(server.Finish(), "");
    EXPECT_TRUE(server.client_closed());
    EXPECT_TRUE(SocketLayerBalanced());
}

TEST(DllMailCheck, RefusedPortUnknownHostAndEmptyTexts)
{
    EXPECT_EQ(Kivo()("127.0.0.1", ClosedPort(), "alice", "pw"), -4);
    EXPECT_EQ(Kivo()("no-such-host.invalid", 110, "alice", "pw"), -2);
    EXPECT_EQ(Kivo()("127.0.0.1", 110, "", "pw"), -1);
    EXPECT_EQ(Kivo()("127.0.0.1", 110, "alice\r\nDELE 1", "pw"), -1);
    EXPECT_TRUE(SocketLayerBalanced());
}

TEST(DllMailCheck, DovecotCountsTheMaildrop)
{
    int port = DovecotPort();
    ASSERT_NE(port, 0) << "no Dovecot fixture (KIVO_DOVECOT_DIR)";
    EXPECT_EQ(Kivo()("127.0.0.1", port, "three", DOVECOT_PASSWORD), 3);
    EXPECT_EQ(Kivo()("localhost", port, "empty", DOVECOT_PASSWORD), 0);
    EXPECT_EQ(Kivo()("127.0.0.1", port, "three", "wrong-pass"), -5);
    EXPECT_TRUE(SocketLayerBalanced());
}

}  // namespace
