// The cases of servers that stall, through the built kivo.dll with its own
// time-outs (20 s for a reply): each must end with its result once the
// time-out has passed, and not much later. The cases run side by side, so
// that the run takes one time-out rather than one per case.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "plugin_module.h"
#include "pop3_cases.h"
#include "socket_balance.h"

namespace {

struct Outcome {
    int result;
    std::string sent;
    int connections;
    bool closed;
    std::chrono::milliseconds spent;
};

std::vector<Pop3Case> StallCases()
{
    std::vector<Pop3Case> cases;
    for (const Pop3Case &c : Pop3Cases())
        if (c.stalls)
            cases.push_back(c);
    return cases;
}

class DllStall : public ::testing::TestWithParam<Pop3Case> {
protected:
    // Every case at once, each on its own thread with its own server.
    static void SetUpTestSuite()
    {
        CheckFunction check = PluginEntry<CheckFunction>("kivo");
        ASSERT_NE(check, nullptr);
        std::vector<Pop3Case> cases = StallCases();
        std::vector<Outcome> outcomes(cases.size());
        std::vector<std::thread> threads;
        for (size_t i = 0; i < cases.size(); i++) {
            threads.emplace_back([&, i] {
                ScriptServer server(cases[i].steps);
                auto start = std::chrono::steady_clock::now();
                int result = check("127.0.0.1", server.port(), "alice", "s3cret");
                auto spent = std::chrono::steady_clock::now() - start;
                std::string sent = server.Finish();
                outcomes[i] = {result, sent, server.connections(),
                               server.client_closed() || server.server_closed(),
                               std::chrono::duration_cast<std::chrono::milliseconds>(spent)};
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        for (size_t i = 0; i < cases.size(); i++)
            outcomes_[cases[i].name] = outcomes[i];
    }
    static std::map<std::string, Outcome> outcomes_;
};

std::map<std::string, Outcome> DllStall::outcomes_;

TEST_P(DllStall, EndsAfterTheReplyTimeOut)
{
    auto found = outcomes_.find(GetParam().name);
    ASSERT_NE(found, outcomes_.end());
    const Outcome &outcome = found->second;
    EXPECT_EQ(outcome.result, GetParam().expected);
    EXPECT_EQ(outcome.sent, GetParam().expected_sent);
    EXPECT_EQ(outcome.connections, 1);
    EXPECT_TRUE(outcome.closed) << "the client did not close its connection";
    EXPECT_GE(outcome.spent, std::chrono::milliseconds(19500)) << "a slow server must get 20 seconds";
    EXPECT_LT(outcome.spent, std::chrono::seconds(30)) << "not bounded by the reply time-out";
    EXPECT_TRUE(SocketLayerBalanced());
}

INSTANTIATE_TEST_SUITE_P(Scripted, DllStall, ::testing::ValuesIn(StallCases()),
                         [](const ::testing::TestParamInfo<Pop3Case> &info) { return info.param.name; });

}  // namespace
