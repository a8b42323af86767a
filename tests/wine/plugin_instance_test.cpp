// The handshake, instance creation and destruction, and the check timer's
// period and running state.
#include <limits.h>

#include <filesystem>

#include "modal_watcher.h"
#include "plugin_fixture.h"
#include "script_server.h"

namespace {

typedef std::vector<std::string> Calls;

static const char *KIVO_STDCALL OtherMenuPath(void *)
{
    return "Other";
}

TEST_F(PluginTest, HandshakeAcceptsOnlyTheExactInterface)
{
    struct Row {
        int a, b;
        const char *text;
        int expected;
    } rows[] = {
        {1, 50, INTERFACE_NAME, 1},
        {1, 51, INTERFACE_NAME, 0},
        {2, 50, INTERFACE_NAME, 0},
        {0, 50, INTERFACE_NAME, 0},
        {1, 50, "\x83\xC0" "2 ", 0},  // trailing blank
        {1, 50, "B2", 0},              // a Latin B for the beta
        {1, 50, "\x83\xC0", 0},
        {1, 50, "", 0},
        {1, 50, nullptr, 0},
    };
    // Each refused offer comes with a table whose menu text differs: the
    // copy taken by the accepted handshake must stay in use.
    HOST_SERVICES other = HostTable();
    other.GetMenuPath = OtherMenuPath;
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.a) + "/" + std::to_string(row.b) + "/" + (row.text ? row.text : "null"));
        EXPECT_EQ(Initialize(row.a, row.b, row.text, row.expected ? &table_ : &other), row.expected);
    }
    EXPECT_EQ(Initialize(1, 50, INTERFACE_NAME, nullptr), 0);
    ASSERT_EQ(NewInstance(0), 1);
    EXPECT_EQ(CallsStartingWith("RegisterMenuItem"),
              Calls{std::string("RegisterMenuItem(#0, Plugins") + SJIS_MENU_SUFFIX + ", 0, 0) -> 1"});
    DestroyInstance(0);
}

TEST_F(PluginTest, ShortTablesLeaveTheirMissingSlotsUncalled)
{
    // 100 bytes reach slots 0 to 24: no folder, menu path or timer services.
    HOST_SERVICES short_table = HostTable();
    short_table.cbSize = 100;
    ASSERT_EQ(Initialize(1, 50, INTERFACE_NAME, &short_table), 1);
    ResetHost();
    Host().plugin_folder = temp_.folder();
    ASSERT_EQ(NewInstance(0), 1);
    EXPECT_EQ(Host().calls, (Calls{
        "RegisterFunction(#0, QV_KIVO_CheckNewArrivalDirect, isiss, 0) -> 1",
        "RegisterFunction(#0, QV_KIVO_CheckNewArrival, i, 0) -> 1",
        "RegisterFunction(#0, QV_KIVO_OpenConfigDialog, i, 0) -> 1",
        std::string("RegisterMenuItem(#0, ") + SJIS_MENU_SUFFIX + ", 0, 0) -> 1",
    }));
    Host().calls.clear();
    // SetReturnValue (slot 8) is within the table; the account is the default.
    EXPECT_EQ(CallScriptFunction(Host().Instance(0), "QV_KIVO_CheckNewArrival"), -1);
    EXPECT_EQ(DestroyInstance(0), 0);

    // A table of nothing but its size: every registration fails, loudly.
    HOST_SERVICES bare = HostTable();
    bare.cbSize = 4;
    ASSERT_EQ(Initialize(1, 50, INTERFACE_NAME, &bare), 1);
    {
        ModalWatcher watcher;
        EXPECT_EQ(NewInstance(1), 1);
        EXPECT_EQ(watcher.boxes.size(), 4u);
    }
    EXPECT_EQ(DestroyInstance(1), 0);

    // A longer table than the plug-in knows: its first 184 bytes count.
    struct {
        HOST_SERVICES table;
        char extra[16];
    } longer = {HostTable(), {}};
    longer.table.cbSize = sizeof longer;
    ASSERT_EQ(Initialize(1, 50, INTERFACE_NAME, &longer.table), 1);
    ResetHost();
    Host().plugin_folder = temp_.folder();
    ASSERT_EQ(NewInstance(2), 1);
    EXPECT_EQ(Host().calls.front(), "GetPluginFolder(#2)");
    EXPECT_EQ(DestroyInstance(2), 1);
}

TEST_F(PluginTest, NewInstanceWithoutAccountFile)
{
    ASSERT_EQ(NewInstance(0), 1);
    EXPECT_EQ(Host().calls, (Calls{
        "GetPluginFolder(#0)",
        "CreateTimer(#0, 0, 1, callback, 0) -> 1",
        "StopTimer(1)",
        "RegisterFunction(#0, QV_KIVO_CheckNewArrivalDirect, isiss, 0) -> 1",
        "RegisterFunction(#0, QV_KIVO_CheckNewArrival, i, 0) -> 1",
        "RegisterFunction(#0, QV_KIVO_OpenConfigDialog, i, 0) -> 1",
        "GetMenuPath(#0)",
        std::string("RegisterMenuItem(#0, Plugins") + SJIS_MENU_SUFFIX + ", 0, 0) -> 1",
    }));
    EXPECT_FALSE(std::filesystem::exists(temp_.path("account.dat"))) << "creation never writes the file";
    // The defaults have no password: the saved-account check refuses at once.
    EXPECT_EQ(CallScriptFunction(Host().Instance(0), "QV_KIVO_CheckNewArrival"), -1);
    Host().destroy_timer_result = 77;
    EXPECT_EQ(DestroyInstance(0), 77);
    EXPECT_EQ(Host().calls.back(), "DestroyTimer(1) -> 77");
}

TEST_F(PluginTest, TimerPeriodAndRunningStateFollowTheInterval)
{
    struct Row {
        int interval;
        int period;
        bool started;
    } rows[] = {
        {0, 0, false},          {-3, -180000, false},       {1, 60000, true},
        {10, 600000, true},     {5, 300000, true},          {40000, INT_MAX, true},
        {-40000, INT_MIN, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.interval);
        ResetHost();
        Host().plugin_folder = temp_.folder();
        WriteAccount("127.0.0.1", 110, "u", "p", row.interval);
        ASSERT_EQ(NewInstance(0), 1);
        ASSERT_EQ(Host().timers.size(), 1u);
        EXPECT_EQ(Host().timers[1].period, row.period);
        EXPECT_EQ(Host().timers[1].started, row.started);
        EXPECT_EQ(CallsStartingWith(row.started ? "StartTimer" : "StopTimer"), Calls{row.started ? "StartTimer(1)" : "StopTimer(1)"});
        DestroyInstance(0);
    }
}

TEST_F(PluginTest, RefusedRegistrationsAreShownAndTheRestGoesOn)
{
    struct Row {
        std::string refused;
        int menu_result;
        std::string message;
    } rows[] = {
        {"QV_KIVO_CheckNewArrivalDirect", 1, std::string("QV_KIVO_CheckNewArrivalDirect") + SJIS_REGISTRATION_FAILED},
        {"QV_KIVO_CheckNewArrival", 1, std::string("QV_KIVO_CheckNewArrival") + SJIS_REGISTRATION_FAILED},
        {"QV_KIVO_OpenConfigDialog", 1, std::string("QV_KIVO_OpenConfigDialog") + SJIS_REGISTRATION_FAILED},
        // "メニューの登録に失敗"
        {"", 0, "\x83\x81\x83j\x83\x85\x81[\x82\xCC\x93o\x98^\x82\xC9\x8E\xB8\x94s"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.message);
        ResetHost();
        Host().plugin_folder = temp_.folder();
        Host().refused_functions = {row.refused};
        Host().menu_result = row.menu_result;
        ModalWatcher watcher;
        ASSERT_EQ(NewInstance(0), 1);
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(watcher.boxes[0].text, row.message);
        EXPECT_EQ(watcher.boxes[0].title, SJIS_PLUGIN_TITLE);
        EXPECT_EQ(watcher.boxes[0].owner, nullptr);
        EXPECT_EQ(CallsStartingWith("RegisterFunction").size(), 3u);
        EXPECT_EQ(CallsStartingWith("RegisterMenuItem").size(), 1u);
        EXPECT_EQ(Host().functions.size(), row.refused.empty() ? 3u : 2u);
        DestroyInstance(0);
    }
}

TEST_F(PluginTest, MenuItemTextIsTheHostTextThenTheSettingsItem)
{
    const std::string dbcs_at_the_edge = std::string(243, 'a') + "\x83\x86";  // ユ would end past byte 244
    struct Row {
        std::string menu_path;
        std::string item;
    } rows[] = {
        {"Plugins", std::string("Plugins") + SJIS_MENU_SUFFIX},
        {"", SJIS_MENU_SUFFIX},
        {"\x83\x63\x81[\x83\x8B", std::string("\x83\x63\x81[\x83\x8B") + SJIS_MENU_SUFFIX},
        {std::string(244, 'm'), std::string(244, 'm') + SJIS_MENU_SUFFIX},
        {std::string(300, 'm'), std::string(244, 'm') + SJIS_MENU_SUFFIX},
        {dbcs_at_the_edge, std::string(243, 'a') + SJIS_MENU_SUFFIX},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.menu_path.size());
        ResetHost();
        Host().plugin_folder = temp_.folder();
        Host().menu_path = row.menu_path;
        ASSERT_EQ(NewInstance(0), 1);
        ASSERT_EQ(Host().menu_items.size(), 1u);
        EXPECT_EQ(Host().menu_items[0].name, row.item);
        EXPECT_LE(Host().menu_items[0].name.size(), 255u);
        DestroyInstance(0);
    }
}

TEST_F(PluginTest, TwoInstancesKeepTheirOwnTimers)
{
    for (bool first_ends_first : {true, false}) {
        SCOPED_TRACE(first_ends_first);
        ResetHost();
        Host().plugin_folder = temp_.folder();
        WriteAccount("127.0.0.1", 110, "u", "p", 3);
        ASSERT_EQ(NewInstance(0), 1);
        ASSERT_EQ(NewInstance(1), 1);
        EXPECT_EQ(Host().timers[1].instance, Host().Instance(0));
        EXPECT_EQ(Host().timers[2].instance, Host().Instance(1));
        EXPECT_TRUE(Host().timers[1].started && Host().timers[2].started);
        int a = first_ends_first ? 0 : 1, b = 1 - a;
        EXPECT_EQ(DestroyInstance(a), 1);
        EXPECT_EQ(DestroyInstance(b), 1);
        EXPECT_EQ(CallsStartingWith("DestroyTimer"),
                  (Calls{"DestroyTimer(" + std::to_string(a + 1) + ") -> 1",
                         "DestroyTimer(" + std::to_string(b + 1) + ") -> 1"}));
        EXPECT_TRUE(Host().timers[1].destroyed && Host().timers[2].destroyed);
        // Ending an instance twice destroys nothing twice.
        EXPECT_EQ(DestroyInstance(a), 0);
        EXPECT_EQ(CallsStartingWith("error").size(), 0u);
    }
}

TEST_F(PluginTest, ZOKDestroyKeepsTheModuleState)
{
    ScriptServer server(HappyScript("+OK 2 1\r\n"));
    WriteAccount("127.0.0.1", server.port(), "u", "p", 2);
    ASSERT_EQ(NewInstance(0), 1);
    PluginEntry<DestroyEntry>("ZOKDestroy")();
    EXPECT_EQ(CallScriptFunction(Host().Instance(0), "QV_KIVO_CheckNewArrival"), 2) << "the account stays";
    Host().is_ready = 0;
    EXPECT_TRUE(FireTimer(1)) << "the check timer still stands";
    EXPECT_EQ(DestroyInstance(0), 1);
}

}  // namespace
