// The periodic check with its announcements, and the two checking script
// functions, against the scripted server and Dovecot.
#include <limits.h>

#include <filesystem>

#include "dovecot_box.h"
#include "modal_watcher.h"
#include "plugin_fixture.h"
#include "script_server.h"

namespace {

typedef std::vector<std::string> Calls;

// "メールが%d本届いています" with the number filled in.
std::string MailArrivedText(int count)
{
    return "\x83\x81\x81[\x83\x8B\x82\xAA" + std::to_string(count) +
           "\x96{\x93\xCD\x82\xA2\x82\xC4\x82\xA2\x82\xDC\x82\xB7";
}

class CheckTest : public PluginTest {
protected:
    // An instance watching the user's Dovecot maildrop, checking each minute.
    void WatchDovecot(const std::string &user)
    {
        int port = DovecotPort();
        ASSERT_NE(port, 0) << "no Dovecot fixture (KIVO_DOVECOT_DIR)";
        EmptyMaildrop(user);
        WriteAccount("127.0.0.1", port, user, DOVECOT_PASSWORD, 1);
        ASSERT_EQ(NewInstance(0), 1);
        ASSERT_TRUE(Host().timers[1].started);
    }
    // One tick; returns the RaiseEvent numbers and message boxes it brought.
    void Tick(std::vector<int> *raised, std::vector<std::string> *boxes)
    {
        Host().raised_counts.clear();
        ModalWatcher watcher;
        ASSERT_TRUE(FireTimer(1));
        *raised = Host().raised_counts;
        boxes->clear();
        for (const SeenMessageBox &box : watcher.boxes) {
            boxes->push_back(box.text);
            EXPECT_EQ(box.title, "QV-KIVO");
            EXPECT_EQ(box.owner, Host().windows[2]);
        }
    }
    std::vector<int> raised_;
    std::vector<std::string> boxes_;
};

TEST_F(CheckTest, TickAgainstTheScriptedServer)
{
    ScriptServer server(HappyScript("+OK 3 320\r\n"));
    WriteAccount("127.0.0.1", server.port(), "alice", "s3cret", 1);
    ASSERT_EQ(NewInstance(0), 1);
    Host().has_event_handler = 1;
    Host().calls.clear();
    Tick(&raised_, &boxes_);
    EXPECT_EQ(server.Finish(), "USER alice\r\nPASS s3cret\r\nSTAT\r\n");
    EXPECT_EQ(Host().calls, (Calls{"tick(1)", "IsReady() -> 1", "HasEventHandler(#0, QV_KIVO_MailArrived) -> 1",
                                   "RaiseEvent(#0, 1, vi, QV_KIVO_MailArrived, 3) -> 1"}));
    DestroyInstance(0);
}

TEST_F(CheckTest, NotReadyOrFailedChecksAnnounceNothing)
{
    struct Row {
        const char *name;
        std::vector<ScriptStep> steps;
        int is_ready;
        int connections;
    } rows[] = {
        {"not ready", HappyScript("+OK 3 1\r\n"), 0, 0},
        {"login refused", {Send("-ERR\r\n")}, 1, 1},
        {"stat refused", HappyScript("-ERR\r\n"), 1, 1},
        {"negative count", HappyScript("+OK -3 1\r\n"), 1, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ResetHost();
        Host().plugin_folder = temp_.folder();
        ScriptServer server(row.steps);
        WriteAccount("127.0.0.1", server.port(), "alice", "s3cret", 1);
        ASSERT_EQ(NewInstance(0), 1);
        Host().has_event_handler = 1;
        Host().is_ready = row.is_ready;
        Host().calls.clear();
        Tick(&raised_, &boxes_);
        server.Finish();
        EXPECT_EQ(server.connections(), row.connections);
        EXPECT_EQ(Host().calls, (Calls{"tick(1)", "IsReady() -> " + std::to_string(row.is_ready)}));
        EXPECT_TRUE(boxes_.empty());
        DestroyInstance(0);
    }
    // The connection itself fails.
    ResetHost();
    Host().plugin_folder = temp_.folder();
    WriteAccount("127.0.0.1", ClosedPort(), "alice", "s3cret", 1);
    ASSERT_EQ(NewInstance(0), 1);
    Host().calls.clear();
    Tick(&raised_, &boxes_);
    EXPECT_EQ(Host().calls, (Calls{"tick(1)", "IsReady() -> 1"}));
    EXPECT_TRUE(boxes_.empty());
    DestroyInstance(0);
}

TEST_F(CheckTest, DeliveredEventsRaiseTheAnnouncedCount)
{
    WatchDovecot("box1");
    Host().has_event_handler = 1;
    DeliverMessages("box1", 3);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(raised_, std::vector<int>{3});
    Tick(&raised_, &boxes_);
    EXPECT_EQ(raised_, std::vector<int>{}) << "still 3: nothing new";
    DeliverMessages("box1", 2);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(raised_, std::vector<int>{2});
    EXPECT_TRUE(boxes_.empty());
    DestroyInstance(0);
}

TEST_F(CheckTest, UndeliveredEventIsRaisedAgain)
{
    WatchDovecot("box2");
    Host().has_event_handler = 1;
    Host().raise_event_result = 0;
    DeliverMessages("box2", 3);
    for (int tick = 0; tick < 3; tick++) {
        Tick(&raised_, &boxes_);
        EXPECT_EQ(raised_, std::vector<int>{3}) << "tick " << tick;
    }
    Host().raise_event_result = 1;
    DeliverMessages("box2", 1);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(raised_, std::vector<int>{4}) << "counted from the unchanged announced count";
    DestroyInstance(0);
}

TEST_F(CheckTest, WithoutHandlerTheMessageBoxShowsEveryTick)
{
    WatchDovecot("box3");
    Host().has_event_handler = 0;
    DeliverMessages("box3", 3);
    std::filesystem::create_directories("screenshots");
    bool pictured = false;
    {
        ModalWatcher watcher(nullptr, [&](HWND box) {
            pictured = SaveWindowPicture(box, "screenshots\\new-mail-box.bmp");
        });
        ASSERT_TRUE(FireTimer(1));
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(watcher.boxes[0].text, MailArrivedText(3));
        EXPECT_EQ(watcher.boxes[0].title, "QV-KIVO");
    }
    EXPECT_TRUE(pictured);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(boxes_, std::vector<std::string>{MailArrivedText(3)}) << "the box does not raise the count";
    DeliverMessages("box3", 2);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(boxes_, std::vector<std::string>{MailArrivedText(5)});
    EXPECT_TRUE(Host().raised_counts.empty());
    DestroyInstance(0);
}

TEST_F(CheckTest, ShrunkenMaildropAnnouncesOnlyTheExcess)
{
    WatchDovecot("box4");
    Host().has_event_handler = 1;
    DeliverMessages("box4", 5);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(raised_, std::vector<int>{5});
    EmptyMaildrop("box4");
    DeliverMessages("box4", 3);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(raised_, std::vector<int>{});
    DeliverMessages("box4", 4);
    Tick(&raised_, &boxes_);
    EXPECT_EQ(raised_, std::vector<int>{2});
    DestroyInstance(0);
}

TEST_F(CheckTest, EachInstanceHasItsOwnAnnouncedCount)
{
    WatchDovecot("box5");
    ASSERT_EQ(NewInstance(1), 1);
    Host().has_event_handler = 1;
    DeliverMessages("box5", 2);
    ASSERT_TRUE(FireTimer(1));
    ASSERT_TRUE(FireTimer(2));
    EXPECT_EQ(Host().raised_counts, (std::vector<int>{2, 2}));
    EXPECT_EQ(CallsStartingWith("RaiseEvent(#1"), Calls{"RaiseEvent(#1, 1, vi, QV_KIVO_MailArrived, 2) -> 1"});
    DestroyInstance(0);
    DestroyInstance(1);
}

class DirectTest : public PluginTest {
protected:
    int CallDirect(std::vector<HostArg> args)
    {
        Host().args = std::move(args);
        Host().calls.clear();
        return CallScriptFunction(Host().Instance(0), "QV_KIVO_CheckNewArrivalDirect");
    }
};

TEST_F(DirectTest, WellTypedArgumentsAreFetchedInOrderAndChecked)
{
    ASSERT_EQ(NewInstance(0), 1);
    ScriptServer server(HappyScript("+OK 4 100\r\n"));
    EXPECT_EQ(CallDirect({StringArg("127.0.0.1"), IntArg(server.port()), StringArg("alice"), StringArg("s3cret")}), 4);
    EXPECT_EQ(server.Finish(), "USER alice\r\nPASS s3cret\r\nSTAT\r\n");
    EXPECT_EQ(Host().calls, (Calls{"GetArgInfo(#0, 0)", "GetArgValue(#0, 10, 0)", "GetArgInfo(#0, 1)",
                                   "GetArgValue(#0, 4, 1)", "GetArgInfo(#0, 2)", "GetArgValue(#0, 6, 2)",
                                   "GetArgInfo(#0, 3)", "GetArgValue(#0, 7, 3)", "SetReturnValue(#0, 4, 2)"}));
    DestroyInstance(0);
}

TEST_F(DirectTest, BadArgumentsGiveMinusOneWithoutAConnection)
{
    ASSERT_EQ(NewInstance(0), 1);
    const HostArg host = StringArg("127.0.0.1"), user = StringArg("alice"), password = StringArg("pw");
    HostArg wide_port = IntArg(110);
    wide_port.size = 8;
    HostArg empty_size = StringArg("alice");
    empty_size.size = 0;
    struct Row {
        const char *name;
        std::vector<HostArg> args;
        size_t arg_infos;  // GetArgInfo calls made before giving up
    } rows[] = {
        {"port as a string", {host, StringArg("110"), user, password}, 2},
        {"host as an integer", {IntArg(1), IntArg(110), user, password}, 1},
        {"user as an integer", {host, IntArg(110), IntArg(5), password}, 3},
        {"password as an integer", {host, IntArg(110), user, IntArg(5)}, 4},
        {"missing password", {host, IntArg(110), user}, 4},
        {"port wider than an integer", {host, wide_port, user, password}, 2},
        {"string of size 0", {host, IntArg(110), empty_size, password}, 3},
        {"empty user", {host, IntArg(110), StringArg(""), password}, 4},
        {"empty host", {StringArg(""), IntArg(110), user, password}, 4},
        {"line break in the password", {host, IntArg(110), user, StringArg("pw\r\nDELE 1")}, 4},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ScriptServer server(HappyScript("+OK 1 1\r\n"));
        std::vector<HostArg> args = row.args;
        if (args[1].type == HOST_TYPE_INTEGER && args[1].size < 0)
            args[1] = IntArg(server.port());
        EXPECT_EQ(CallDirect(args), -1);
        server.Finish();
        EXPECT_EQ(server.connections(), 0);
        EXPECT_EQ(CallsStartingWith("GetArgInfo").size(), row.arg_infos);
        EXPECT_EQ(Host().calls.back(), "SetReturnValue(#0, -1, 2)");
    }
    Host().get_arg_info_result = 0;
    EXPECT_EQ(CallDirect({host, IntArg(110), user, password}), -1);
    DestroyInstance(0);
}

TEST_F(DirectTest, SixtyFourKilobyteStringsGoThroughWhole)
{
    ASSERT_EQ(NewInstance(0), 1);
    const std::string big(64 * 1024, 'u');
    EXPECT_EQ(CallDirect({StringArg(big), IntArg(110), StringArg("alice"), StringArg("pw")}), -2)
        << "no such host";
    ScriptServer server(HappyScript("+OK 3 1\r\n"));
    EXPECT_EQ(CallDirect({StringArg("127.0.0.1"), IntArg(server.port()), StringArg(big), StringArg(big)}), 3);
    EXPECT_EQ(server.Finish(), "USER " + big + "\r\nPASS " + big + "\r\nSTAT\r\n");
    DestroyInstance(0);
}

// Sum of the heap blocks in use in every heap of the process.
size_t HeapBytesInUse()
{
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    size_t total = 0;
    for (DWORD i = 0; i < count && i < 64; i++) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

TEST_F(DirectTest, ArgumentBuffersAreReleasedOnEveryPath)
{
    ASSERT_EQ(NewInstance(0), 1);
    const std::string big(64 * 1024, 'h');
    std::vector<std::vector<HostArg>> calls = {
        {StringArg(big), IntArg(110), StringArg(big), IntArg(0)},           // fails at the last index
        {StringArg(big), StringArg("x"), StringArg(big), StringArg(big)},   // fails at the port
        {StringArg(big), IntArg(110), StringArg(""), StringArg(big)},       // the check refuses
    };
    for (const auto &args : calls)
        CallDirect(args);  // the heap settles on its first use
    size_t before = HeapBytesInUse();
    for (int round = 0; round < 20; round++)
        for (const auto &args : calls)
            EXPECT_EQ(CallDirect(args), -1);
    size_t after = HeapBytesInUse();
    EXPECT_LT(after, before + 64 * 1024) << "20 rounds of 64 KiB buffers would leave megabytes";
    DestroyInstance(0);
}

TEST_F(DirectTest, SavedAccountCheck)
{
    ScriptServer server(HappyScript("+OK 0 0\r\n"));
    WriteAccount("127.0.0.1", server.port(), "bob", "pw", 0);
    ASSERT_EQ(NewInstance(0), 1);
    Host().calls.clear();
    EXPECT_EQ(CallScriptFunction(Host().Instance(0), "QV_KIVO_CheckNewArrival"), 0);
    EXPECT_EQ(server.Finish(), "USER bob\r\nPASS pw\r\nSTAT\r\n");
    EXPECT_EQ(Host().calls, Calls{"SetReturnValue(#0, 0, 2)"});
    DestroyInstance(0);
}

}  // namespace
