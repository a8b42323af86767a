// The settings command and its dialog, driven for real on the display.
#include <filesystem>

#include "modal_watcher.h"
#include "plugin_fixture.h"
#include "script_server.h"

namespace {

typedef std::vector<std::string> Calls;

enum { IDC_POPHOST = 104, IDC_PASSWD = 106, IDC_USER = 107, IDC_POPPORT = 108, IDC_INTERVAL = 110 };

// "アカウント情報のセーブに失敗しました"
const char SJIS_SAVE_FAILED[] =
    "\x83" "A\x83J\x83" "E\x83\x93\x83g\x8F\xEE\x95\xF1\x82\xCC\x83Z\x81[\x83u\x82\xC9\x8E\xB8"
    "\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

std::string Defaults()
{
    return std::string("POPHOST=") + SJIS_SERVER_NAME + "\r\nPOPPORT=110\r\nUSER=" + SJIS_USER_NAME +
           "\r\nPASSWD=\r\nINTERVAL=0\r\n";
}

struct Fields {
    std::string host, port, user, password, interval;
};

Fields ReadFields(HWND dialog)
{
    return {ControlText(dialog, IDC_POPHOST), ControlText(dialog, IDC_POPPORT), ControlText(dialog, IDC_USER),
            ControlText(dialog, IDC_PASSWD), ControlText(dialog, IDC_INTERVAL)};
}

void TypeFields(HWND dialog, const Fields &fields)
{
    SetFieldText(dialog, IDC_POPHOST, fields.host);
    SetFieldText(dialog, IDC_POPPORT, fields.port);
    SetFieldText(dialog, IDC_USER, fields.user);
    SetFieldText(dialog, IDC_PASSWD, fields.password);
    SetFieldText(dialog, IDC_INTERVAL, fields.interval);
}

// The ways a person closes the dialog.
enum Closing { PRESS_OK, PRESS_CANCEL, PRESS_ESC, CLOSE_BUTTON, ENTER_IN_FIELD };

void Close(HWND dialog, Closing closing)
{
    switch (closing) {
    case PRESS_OK: PostMessageA(dialog, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(dialog, IDOK)); break;
    case PRESS_CANCEL: PostMessageA(dialog, WM_COMMAND, IDCANCEL, (LPARAM)GetDlgItem(dialog, IDCANCEL)); break;
    case PRESS_ESC: PressKey(dialog, VK_ESCAPE); break;
    case CLOSE_BUTTON: PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case ENTER_IN_FIELD:
        SetFocus(GetDlgItem(dialog, IDC_USER));
        PressKey(dialog, VK_RETURN);
        break;
    }
}

class DialogTest : public PluginTest {
protected:
    // Opens the settings command as a script does; `edit` sees the dialog.
    int OpenDialog(std::function<void(HWND)> edit)
    {
        watcher_.reset(new ModalWatcher(edit));
        Host().calls.clear();
        int result = CallScriptFunction(Host().Instance(0), "QV_KIVO_OpenConfigDialog");
        EXPECT_EQ(watcher_->dialogs, 1);
        return result;
    }
    std::unique_ptr<ModalWatcher> watcher_;
};

TEST_F(DialogTest, FirstOpeningShowsPlaceholdersAndCancelSavesThem)
{
    ASSERT_EQ(NewInstance(0), 1);
    Fields shown;
    LONG password_style = 0;
    bool pictured = false;
    int result = OpenDialog([&](HWND dialog) {
        shown = ReadFields(dialog);
        password_style = GetWindowLongA(GetDlgItem(dialog, IDC_PASSWD), GWL_STYLE);
        std::filesystem::create_directories("screenshots");
        pictured = SaveWindowPicture(dialog, "screenshots\\settings-dialog.bmp");
        Close(dialog, PRESS_CANCEL);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(shown.host, SJIS_SERVER_NAME);
    EXPECT_EQ(shown.port, "110");
    EXPECT_EQ(shown.user, SJIS_USER_NAME);
    EXPECT_EQ(shown.password, "");
    EXPECT_EQ(shown.interval, "0");
    EXPECT_TRUE(password_style & ES_PASSWORD);
    EXPECT_TRUE(pictured);
    EXPECT_EQ(temp_.Read("account.dat"), Defaults());
    EXPECT_EQ(Host().calls, (Calls{"EnterModal(#0)", "GetHostWindow(#0, 1)", "LeaveModal(#0)",
                                   "GetHostWindow(#0, 1)", "SetTimerInterval(1, 0)", "StopTimer(1)",
                                   "SetReturnValue(#0, 2, 2)"}));
    EXPECT_TRUE(watcher_->boxes.empty());
    DestroyInstance(0);
}

TEST_F(DialogTest, OkStoresTheFieldsAndRetimesTheCheck)
{
    ASSERT_EQ(NewInstance(0), 1);
    ScriptServer server(HappyScript("+OK 6 1\r\n"));
    const Fields typed = {"127.0.0.1", std::to_string(server.port()), "carol", "pa ss", "5"};
    Fields masked;
    int result = OpenDialog([&](HWND dialog) {
        TypeFields(dialog, typed);
        masked.password = std::string(1, (char)SendMessageA(GetDlgItem(dialog, IDC_PASSWD), EM_GETPASSWORDCHAR, 0, 0));
        Close(dialog, PRESS_OK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_NE(masked.password, std::string(1, '\0')) << "the password field shows a mask";
    EXPECT_EQ(temp_.Read("account.dat"), "POPHOST=127.0.0.1\r\nPOPPORT=" + typed.port +
                                             "\r\nUSER=carol\r\nPASSWD=pa ss\r\nINTERVAL=5\r\n");
    EXPECT_EQ(CallsStartingWith("SetTimerInterval"), Calls{"SetTimerInterval(1, 300000)"});
    EXPECT_EQ(CallsStartingWith("StartTimer"), Calls{"StartTimer(1)"});
    EXPECT_EQ(Host().returned.back(), 1);
    // The saved account is the one checked from now on.
    EXPECT_EQ(CallScriptFunction(Host().Instance(0), "QV_KIVO_CheckNewArrival"), 6);
    EXPECT_EQ(server.Finish(), "USER carol\r\nPASS pa ss\r\nSTAT\r\n");
    DestroyInstance(0);
}

TEST_F(DialogTest, EveryOtherClosingKeepsTheLoadedValues)
{
    for (Closing closing : {PRESS_CANCEL, PRESS_ESC, CLOSE_BUTTON, ENTER_IN_FIELD}) {
        SCOPED_TRACE(closing);
        ResetHost();
        Host().plugin_folder = temp_.folder();
        temp_.Write("account.dat", "POPHOST=mail.example\r\nPOPPORT=00995\r\nUSER=dave\r\nPASSWD=x\r\nINTERVAL=3\r\n");
        ASSERT_EQ(NewInstance(0), 1);
        int result = OpenDialog([&](HWND dialog) {
            TypeFields(dialog, {"other.example", "1", "eve", "y", "9"});
            Close(dialog, closing);
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(temp_.Read("account.dat"),
                  "POPHOST=mail.example\r\nPOPPORT=995\r\nUSER=dave\r\nPASSWD=x\r\nINTERVAL=3\r\n");
        EXPECT_EQ(CallsStartingWith("SetTimerInterval"), Calls{"SetTimerInterval(1, 180000)"});
        DestroyInstance(0);
    }
}

TEST_F(DialogTest, NumbersFollowTheNumberRule)
{
    ASSERT_EQ(NewInstance(0), 1);
    int result = OpenDialog([](HWND dialog) {
        TypeFields(dialog, {"h", "pop", "u", "p", "-2"});
        Close(dialog, PRESS_OK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(temp_.Read("account.dat"), "POPHOST=h\r\nPOPPORT=0\r\nUSER=u\r\nPASSWD=p\r\nINTERVAL=-2\r\n");
    EXPECT_EQ(CallsStartingWith("StopTimer"), Calls{"StopTimer(1)"}) << "a negative interval: no check";
    DestroyInstance(0);
}

TEST_F(DialogTest, UnreadableFileGivesPlaceholdersOverTheRecord)
{
    WriteAccount("mail.example", 995, "dave", "x", 3);
    ASSERT_EQ(NewInstance(0), 1);
    std::filesystem::remove(temp_.path("account.dat"));
    std::filesystem::create_directory(temp_.path("account.dat"));  // a folder where the file was
    Fields shown;
    int result = OpenDialog([&](HWND dialog) {
        shown = ReadFields(dialog);
        Close(dialog, PRESS_OK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(shown.host, SJIS_SERVER_NAME);
    EXPECT_EQ(shown.interval, "0");
    EXPECT_EQ(CallsStartingWith("StopTimer"), Calls{"StopTimer(1)"});
    DestroyInstance(0);
}

TEST_F(DialogTest, FailedSaveIsShownAfterOkAndAfterCancel)
{
    for (Closing closing : {PRESS_OK, PRESS_CANCEL}) {
        SCOPED_TRACE(closing);
        ResetHost();
        Host().plugin_folder = temp_.folder();
        const std::string old_bytes = "POPHOST=kept\r\nPOPPORT=1\r\nUSER=u\r\nPASSWD=p\r\nINTERVAL=0\r\n";
        temp_.Write("account.dat", old_bytes);
        std::filesystem::create_directory(temp_.path("account.new"));  // the save cannot write
        ASSERT_EQ(NewInstance(0), 1);
        int result = OpenDialog([&](HWND dialog) {
            SetFieldText(dialog, IDC_INTERVAL, "4");
            Close(dialog, closing);
        });
        EXPECT_EQ(result, closing == PRESS_OK ? 1 : 2);
        ASSERT_EQ(watcher_->boxes.size(), 1u);
        EXPECT_EQ(watcher_->boxes[0].text, SJIS_SAVE_FAILED);
        EXPECT_EQ(watcher_->boxes[0].title, "Error");
        EXPECT_NE(watcher_->boxes[0].owner, nullptr) << "owned by the dialog";
        EXPECT_EQ(temp_.Read("account.dat"), old_bytes);
        // The record keeps the values in memory: OK's interval is in force.
        EXPECT_EQ(CallsStartingWith("SetTimerInterval"),
                  Calls{closing == PRESS_OK ? "SetTimerInterval(1, 240000)" : "SetTimerInterval(1, 0)"});
        std::filesystem::remove(temp_.path("account.new"));
        DestroyInstance(0);
    }
}

TEST_F(DialogTest, MenuItemRunsTheWholeSettingsCommand)
{
    ASSERT_EQ(NewInstance(0), 1);
    ModalWatcher watcher([](HWND dialog) { Close(dialog, PRESS_CANCEL); });
    Host().calls.clear();
    ChooseMenuItem(Host().Instance(0));
    EXPECT_EQ(watcher.dialogs, 1);
    EXPECT_EQ(Host().calls, (Calls{"EnterModal(#0)", "GetHostWindow(#0, 1)", "LeaveModal(#0)",
                                   "GetHostWindow(#0, 1)", "SetTimerInterval(1, 0)", "StopTimer(1)",
                                   "SetReturnValue(#0, 2, 2)"}));
    DestroyInstance(0);
}

TEST_F(DialogTest, ZeroTimerHandleIsCreatedAgainAfterTheDialog)
{
    Host().next_timer = 0;
    ASSERT_EQ(NewInstance(0), 1);
    EXPECT_EQ(CallsStartingWith("StopTimer"), Calls{"StopTimer(0)"});
    Host().next_timer = 7;
    OpenDialog([](HWND dialog) {
        SetFieldText(dialog, IDC_INTERVAL, "2");
        Close(dialog, PRESS_OK);
    });
    EXPECT_EQ(CallsStartingWith("CreateTimer"), Calls{"CreateTimer(#0, 120000, 1, callback, 0) -> 7"});
    EXPECT_EQ(CallsStartingWith("StartTimer"), Calls{"StartTimer(7)"});
    EXPECT_EQ(DestroyInstance(0), 1);
    EXPECT_EQ(CallsStartingWith("DestroyTimer"), Calls{"DestroyTimer(7) -> 1"});
}

}  // namespace
