#include "pop3_cases.h"

#include <gtest/gtest.h>

#include "socket_balance.h"

static const char USER_LINE[] = "USER alice\r\n";
static const char LOGIN_LINES[] = "USER alice\r\nPASS s3cret\r\n";
static const char ALL_LINES[] = "USER alice\r\nPASS s3cret\r\nSTAT\r\n";

static std::vector<ScriptStep> LoggedIn(std::vector<ScriptStep> after_stat)
{
    std::vector<ScriptStep> steps = {Send("+OK POP3 ready\r\n"), ExpectLine(), Send("+OK\r\n"),
                                     ExpectLine(), Send("+OK maildrop locked\r\n"), ExpectLine()};
    steps.insert(steps.end(), after_stat.begin(), after_stat.end());
    return steps;
}

// The replies of a whole exchange, each byte sent alone and followed by a
// pause; each reply after the first waits for the client's command.
static std::vector<ScriptStep> Dripped(std::vector<std::string> replies, int pause_ms)
{
    std::vector<ScriptStep> steps;
    for (const std::string &reply : replies) {
        if (!steps.empty())
            steps.push_back(ExpectLine());
        for (char c : reply) {
            steps.push_back(Send(std::string(1, c)));
            steps.push_back(Pause(pause_ms));
        }
    }
    return steps;
}

const std::vector<Pop3Case> &Pop3Cases()
{
    static const std::vector<Pop3Case> cases = {
        // Counts read from the STAT reply.
        {"count_and_size", LoggedIn({Send("+OK 3 320\r\n")}), ALL_LINES, 3, false},
        {"empty_maildrop", LoggedIn({Send("+OK 0 0\r\n")}), ALL_LINES, 0, false},
        {"count_without_size", LoggedIn({Send("+OK 4\r\n")}), ALL_LINES, 4, false},
        {"first_word_skipped_whatever_it_is", LoggedIn({Send("xx+OK 5 1\r\n")}), ALL_LINES, 5, false},
        {"negative_count_unchanged", LoggedIn({Send("+OK -5 0\r\n")}), ALL_LINES, -5, false},
        {"largest_count", LoggedIn({Send("+OK 2147483647 1\r\n")}), ALL_LINES, 2147483647, false},
        {"leading_zeros", LoggedIn({Send("+OK 007 1\r\n")}), ALL_LINES, 7, false},
        // Positive replies, wherever "+OK" stands and however it arrives.
        {"greeting_split_inside_ok",
         {Send("+O"), Pause(100), Send("K hello\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(),
          Send("+OK\r\n"), ExpectLine(), Send("+OK 2 9\r\n")},
         ALL_LINES, 2, false},
        {"reply_split_before_line_feed",
         LoggedIn({Send("+OK 6 1"), Pause(100), Send("00\r"), Pause(100), Send("\n")}),
         ALL_LINES, 6, false},
        {"ok_after_other_words",
         {Send("hello +OK there\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(), Send("+OK\r\n"),
          ExpectLine(), Send("+OK 1 1\r\n")},
         ALL_LINES, 1, false},
        {"ok_behind_line_feed_same_receive",
         {Send("-ERR\r\n+OK\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(), Send("+OK\r\n"),
          ExpectLine(), Send("+OK 8 1\r\n")},
         ALL_LINES, 8, false},
        // Replies that are not positive.
        {"greeting_negative", {Send("-ERR go away\r\n")}, "", -5, false},
        {"greeting_lower_case_ok", {Send("+ok hello\r\n")}, "", -5, false},
        {"user_refused", {Send("+OK\r\n"), ExpectLine(), Send("-ERR no such user\r\n")}, USER_LINE, -5, false},
        {"password_refused",
         {Send("+OK\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(), Send("-ERR wrong\r\n")},
         LOGIN_LINES, -5, false},
        {"stat_refused", LoggedIn({Send("-ERR later\r\n")}), ALL_LINES, -6, false},
        {"stat_without_number", LoggedIn({Send("+OK\r\n")}), ALL_LINES, -6, false},
        {"stat_letters", LoggedIn({Send("+OK abc 1\r\n")}), ALL_LINES, -6, false},
        {"stat_count_beyond_32_bits", LoggedIn({Send("+OK 2147483648 1\r\n")}), ALL_LINES, -6, false},
        {"stat_count_blank", LoggedIn({Send("+OK   \r\n")}), ALL_LINES, -6, false},
        {"stat_count_below_32_bits", LoggedIn({Send("+OK -2147483649 1\r\n")}), ALL_LINES, -6, false},
        // The server goes away.
        {"closed_at_once", {Close()}, "", -5, false},
        {"closed_after_greeting", {Send("+OK\r\n"), ExpectLine(), Close()}, USER_LINE, -5, false},
        {"closed_before_stat_reply", LoggedIn({Close()}), ALL_LINES, -6, false},
        {"closed_mid_line", LoggedIn({Send("+OK 3"), Close()}), ALL_LINES, -6, false},
        {"reset_mid_reply", {Send("+OK hel"), Reset()}, "", -5, false},
        {"reset_mid_stat_reply", LoggedIn({Send("+OK 3"), Reset()}), ALL_LINES, -6, false},
        {"reply_of_nuls_then_close", {Send(std::string(600, '\0')), Close()}, "", -5, false},
        // A reply with no end: the cap ends it.
        {"endless_line", {Send(std::string(70000, 'x')), Pause(60000)}, "", -5, false},
        {"ok_after_10000_bytes",
         {Send(std::string(10000, 'x') + "+OK\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(),
          Send("+OK\r\n"), ExpectLine(), Send("+OK 2 2\r\n")},
         ALL_LINES, 2, false},
        {"replies_larger_than_one_receive",
         LoggedIn({Send("+OK 9 " + std::string(1500, '7') + "\r\n")}), ALL_LINES, 9, false},
        {"greeting_larger_than_one_receive",
         {Send("+OK " + std::string(2000, 'g') + "\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(),
          Send("+OK\r\n"), ExpectLine(), Send("+OK 3 3\r\n")},
         ALL_LINES, 3, false},
        {"ok_across_two_receives",
         {Send(std::string(509, 'x') + "+OK\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(),
          Send("+OK\r\n"), ExpectLine(), Send("+OK 4 4\r\n")},
         ALL_LINES, 4, false},
        // Slow but whole: every byte alone, the pauses adding up to more than
        // one reply's time-out in the tests that shorten it.
        {"one_byte_at_a_time_with_pauses",
         Dripped({"+OK\r\n", "+OK\r\n", "+OK\r\n", "+OK 2\r\n"}, 40),
         ALL_LINES, 2, false},
        // Servers that stall: bounded by the time-outs.
        {"greeting_never_sent", {Pause(60000)}, "", -5, true},
        {"stat_reply_never_sent", LoggedIn({Pause(60000)}), ALL_LINES, -6, true},
        {"dripping_without_line_feed",
         {Send("+"), Pause(150), Send("O"), Pause(150), Send("K"), Pause(150), Send(" "),
          Pause(60000)},
         "", -5, true},
        {"nuls_then_line_feed", {Send(std::string(600, '\0') + "\r\n"), Pause(60000)}, "", -5, true},
        {"answers_before_commands",
         {Send("+OK\r\n+OK\r\n+OK\r\n+OK 2 2\r\n"), Pause(60000)}, USER_LINE, -5, true},
    };
    return cases;
}

void ExpectPop3Case(const Pop3Case &c, CheckFunction check)
{
    ScriptServer server(c.steps);
    int result = check("127.0.0.1", server.port(), "alice", "s3cret");
    std::string sent = server.Finish();
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(sent, c.expected_sent);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(server.client_closed() || server.server_closed())
        << "the client did not close its connection";
    EXPECT_TRUE(SocketLayerBalanced());
}
