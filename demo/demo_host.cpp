// The main job of kivo.dll, end to end, in the test host: the handshake, an
// instance, the account set in the settings dialog by typing into it, the
// script functions, and the periodic check announcing new mail by the script
// event and by the message box.
//
//   kivo_demo.exe OUTPUT_FOLDER
//
// It loads kivo.dll from its own folder, which is also the plug-in folder
// ("account.dat" is written there). It checks the Dovecot that
// tools/dovecot-fixture.sh started (KIVO_DOVECOT_DIR), whose port must have
// at most three digits: the dialog's port field shows no more, and typed
// text stops at a field's visible width. Pictures of the dialog and the
// message box (BMP) and the transcript of every call between host and
// plug-in go to OUTPUT_FOLDER. Exit code 0 when every step did what it
// should.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "dovecot_box.h"
#include "modal_watcher.h"
#include "test_host.h"

namespace {

typedef int(KIVO_STDCALL *InitializeEntry)(int, int, const char *, const HOST_SERVICES *);
typedef void(KIVO_STDCALL *DestroyEntry)(void);
typedef int(KIVO_STDCALL *NewInstanceEntry)(void *, int, int);
typedef int(KIVO_STDCALL *DestroyInstanceEntry)(void *);

enum { IDC_POPHOST = 104, IDC_PASSWD = 106, IDC_USER = 107, IDC_POPPORT = 108, IDC_INTERVAL = 110 };

const char DEMO_USER[] = "demo";
const char EVENT_NAME[] = "QV_KIVO_MailArrived";

// Texts between the plug-in and Windows are code page 932; the console and
// the transcript get UTF-8.
std::string Convert(const std::string &text, UINT from, UINT to)
{
    if (text.empty())
        return text;
    int wide_length = MultiByteToWideChar(from, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide(wide_length, L'\0');
    MultiByteToWideChar(from, 0, text.data(), (int)text.size(), &wide[0], wide_length);
    int length = WideCharToMultiByte(to, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
    std::string converted(length, '\0');
    WideCharToMultiByte(to, 0, wide.data(), wide_length, &converted[0], length, nullptr, nullptr);
    return converted;
}
std::string Utf8(const std::string &ansi) { return Convert(ansi, 932, CP_UTF8); }
std::string Ansi(const std::string &utf8) { return Convert(utf8, CP_UTF8, 932); }

// What the demo printed, and what went wrong.
int g_failures;
int g_steps;
DWORD g_step_start;
std::vector<std::pair<size_t, std::string>> g_step_marks;  // (call index, step title)

void Print(const char *format, ...)
{
    char line[2048];
    va_list values;
    va_start(values, format);
    vsnprintf(line, sizeof line, format, values);
    va_end(values);
    fputs(line, stdout);
    fputs("\n", stdout);
    fflush(stdout);
}

void Step(const std::string &title)
{
    g_steps++;
    g_step_start = GetTickCount();
    std::string numbered = std::to_string(g_steps) + ". " + title;
    g_step_marks.push_back({Host().calls.size(), numbered});
    Print("  [%d] %s", g_steps, title.c_str());
}

void Detail(const std::string &text)
{
    Print("      %s", text.c_str());
}

// Checks what a step produced; a miss is printed and fails the demo.
void Expect(bool held, const std::string &what)
{
    if (!held) {
        g_failures++;
        Print("      FAILED: %s", what.c_str());
    }
}

void StepDone()
{
    Print("      (%lu ms)", (unsigned long)(GetTickCount() - g_step_start));
}

// A call from the host into the plug-in, as the transcript shows it.
void Note(const std::string &call)
{
    Host().calls.push_back("> " + Ansi(call));
}

std::string Quoted(const std::string &ansi)
{
    return "\"" + Utf8(ansi) + "\"";
}

std::string Folder(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ReadFile(const std::string &path)
{
    std::string bytes;
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    fclose(file);
    return bytes;
}

bool WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

// The file's lines, each CR LF shown as " | ".
std::string OneLine(const std::string &bytes)
{
    std::string line;
    for (size_t i = 0; i < bytes.size(); i++) {
        if (bytes.compare(i, 2, "\r\n") == 0) {
            line += i + 2 < bytes.size() ? " | " : "";
            i++;
        } else {
            line += bytes[i];
        }
    }
    return line;
}

// A loopback port that nothing listens on: one the system just gave out and
// took back.
int ClosedPort()
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0)
        return 1;
    int port = 1;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s != INVALID_SOCKET && bind(s, (sockaddr *)&address, sizeof address) == 0 &&
        getsockname(s, (sockaddr *)&address, &length) == 0)
        port = ntohs(address.sin_port);
    if (s != INVALID_SOCKET)
        closesocket(s);
    WSACleanup();
    return port;
}

// Runs the thread's messages for a while: the window paints itself and the
// display catches up with what it drew.
void Settle(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

// Redraws the window and its controls, then saves what the screen shows.
bool Picture(HWND window, const std::string &path)
{
    Settle(200);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    Settle(200);
    return SaveWindowPicture(window, path);
}

// Types the text into the field as a person does: the field gets the focus
// with its text selected, then one character after another.
void Type(HWND dialog, int id, const std::string &text)
{
    HWND field = GetDlgItem(dialog, id);
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)field, TRUE);
    SendMessageA(field, EM_SETSEL, 0, -1);
    for (unsigned char c : text)
        SendMessageA(field, WM_CHAR, c, 1);
}

struct Fields {
    std::string host, port, user, password, interval;
};

Fields ReadFields(HWND dialog)
{
    return {ControlText(dialog, IDC_POPHOST), ControlText(dialog, IDC_POPPORT), ControlText(dialog, IDC_USER),
            ControlText(dialog, IDC_PASSWD), ControlText(dialog, IDC_INTERVAL)};
}

std::string Describe(const Fields &fields)
{
    return Quoted(fields.host) + ", " + Quoted(fields.port) + ", " + Quoted(fields.user) + ", " +
           Quoted(fields.password) + ", " + Quoted(fields.interval);
}

std::string CheckMeaning(int result)
{
    switch (result) {
    case -1: return "an argument empty or of the wrong type";
    case -2: return "host name not found";
    case -3: return "no socket";
    case -4: return "no connection";
    case -5: return "greeting, user name or password refused";
    case -6: return "STAT refused";
    case -10: return "no Windows Sockets 1.1";
    }
    return result >= 0 ? "the number of messages waiting" : "unknown";
}

// Calls the script function with these arguments, as a script does.
int ScriptCall(const std::string &name, const std::vector<HostArg> &args, const std::string &shown)
{
    Host().args = args;
    Note(name + "(" + shown + ")");
    int result = CallScriptFunction(Host().Instance(0), name);
    Detail(name + "(" + shown + ") -> " + std::to_string(result) + "  (" + CheckMeaning(result) + ")");
    return result;
}

// Fires the check timer as the host does; returns the events it raised and
// the message boxes it showed.
void Tick(unsigned timer, std::vector<int> *raised, std::vector<SeenMessageBox> *boxes,
          const std::string &box_picture, bool *pictured)
{
    Host().raised_counts.clear();
    ModalWatcher watcher(nullptr, [&](HWND box) {
        char title[256] = "";
        GetWindowTextA(box, title, sizeof title);
        Host().calls.push_back(std::string("(message box \"") + title + "\": \"" + ControlText(box, 0xFFFF) +
                               "\" is shown, then closed with OK)");
        if (!box_picture.empty())
            *pictured = Picture(box, box_picture);
    });
    Note("OnCheckTimer(#0, 0, 0), the check timer's expiry");
    Expect(FireTimer(timer), "the check timer runs");
    *raised = Host().raised_counts;
    *boxes = watcher.boxes;
}

int CountCalls(const std::string &prefix)
{
    return (int)CallsStartingWith(prefix).size();
}

void WriteTranscript(const std::string &path)
{
    std::string text = "kivo demo: every call between the test host and kivo.dll, in order.\r\n"
                       "\"> \" marks a call of the host into the plug-in; the other lines are the\r\n"
                       "plug-in's calls of the host's services, with what they returned.\r\n";
    size_t mark = 0;
    for (size_t i = 0; i <= Host().calls.size(); i++) {
        while (mark < g_step_marks.size() && g_step_marks[mark].first == i)
            text += "\r\n== " + g_step_marks[mark++].second + "\r\n";
        if (i < Host().calls.size())
            text += Utf8(Host().calls[i]) + "\r\n";
    }
    Expect(WriteFile(path, text), "the transcript is written to " + path);
}

}  // namespace

int main(int argc, char **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 2) {
        fprintf(stderr, "usage: kivo_demo.exe OUTPUT_FOLDER\n");
        return 2;
    }
    std::string out = argv[1];
    if (out.back() != '\\' && out.back() != '/')
        out += '\\';
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string folder = Folder(self);
    const std::string account_path = folder + "account.dat";
    const int port = DovecotPort();
    if (port <= 0 || port > 999) {
        fprintf(stderr, "kivo_demo: no Dovecot with a port of at most three digits (KIVO_DOVECOT_DIR)\n");
        return 2;
    }
    DeleteFileA(account_path.c_str());  // the settings dialog makes it anew
    ResetHost();
    Host().plugin_folder = folder;
    Host().menu_path = "Plugins";

    HMODULE module = LoadLibraryA((folder + "kivo.dll").c_str());
    if (!module) {
        fprintf(stderr, "kivo_demo: kivo.dll did not load from %s\n", folder.c_str());
        return 2;
    }
    auto entry = [&](const char *name) { return (void *)GetProcAddress(module, name); };
    auto initialize = (InitializeEntry)entry("ZOKInitialize");
    auto destroy = (DestroyEntry)entry("ZOKDestroy");
    auto new_instance = (NewInstanceEntry)entry("ZOKNewInstance");
    auto destroy_instance = (DestroyInstanceEntry)entry("ZOKDestroyInstance");
    if (!initialize || !destroy || !new_instance || !destroy_instance) {
        fprintf(stderr, "kivo_demo: kivo.dll lacks a host entry\n");
        return 2;
    }
    std::vector<std::string> pictures;

    // 1. The handshake.
    Step("handshake: the host hands ZOKInitialize its table of services");
    const HOST_SERVICES table = HostTable();
    const std::string interface_name = Ansi("β2");
    Note("ZOKInitialize(1, 50, \"β2\", table of " + std::to_string(table.cbSize) + " bytes)");
    int accepted = initialize(1, 50, interface_name.c_str(), &table);
    Note("ZOKInitialize -> " + std::to_string(accepted));
    Detail("ZOKInitialize(1, 50, \"β2\", table of " + std::to_string(table.cbSize) + " bytes) -> " +
           std::to_string(accepted) + (accepted == 1 ? "  (accepted)" : "  (refused)"));
    Expect(accepted == 1, "ZOKInitialize accepts the host");
    StepDone();

    // 2. An instance.
    Step("instance: ZOKNewInstance registers the script functions, the menu item and the check timer");
    Note("ZOKNewInstance(#0, 0, 0)");
    int created = new_instance(Host().Instance(0), 0, 0);
    Note("ZOKNewInstance -> " + std::to_string(created));
    Detail("ZOKNewInstance(#0, 0, 0) -> " + std::to_string(created) + ", plug-in folder " + folder);
    Expect(created == 1, "ZOKNewInstance creates the instance");
    for (const RegisteredEntry &function : Host().functions)
        Detail("script function " + function.name + "  signature \"" + function.signature + "\"");
    Expect(Host().functions.size() == 3, "three script functions are registered");
    for (const RegisteredEntry &item : Host().menu_items)
        Detail("menu item " + Quoted(item.name));
    Expect(Host().menu_items.size() == 1, "the menu item is registered");
    Expect(Host().timers.count(1) == 1, "the check timer is made");
    Detail("check timer 1: period " + std::to_string(Host().timers[1].period) + " ms, " +
           (Host().timers[1].started ? "started" : "stopped") + " (no account.dat yet: the defaults)");
    StepDone();

    // 3. The account, typed into the settings dialog.
    Step("settings: the menu item opens the dialog; the fields are typed and OK pressed");
    const Fields typed = {"127.0.0.1", std::to_string(port), DEMO_USER, DOVECOT_PASSWORD, "1"};
    Fields opened, shown;
    bool pictured_open = false, pictured_filled = false;
    int menu_result = INT_MIN;
    {
        ModalWatcher watcher([&](HWND dialog) {
            Host().calls.push_back(Ansi("(the settings dialog \"アカウント設定\" is shown; its fields are typed, then OK is pressed)"));
            opened = ReadFields(dialog);
            pictured_open = Picture(dialog, out + "settings-dialog.bmp");
            Type(dialog, IDC_POPHOST, typed.host);
            Type(dialog, IDC_POPPORT, typed.port);
            Type(dialog, IDC_USER, typed.user);
            Type(dialog, IDC_PASSWD, typed.password);
            Type(dialog, IDC_INTERVAL, typed.interval);
            shown = ReadFields(dialog);
            pictured_filled = Picture(dialog, out + "settings-dialog-filled.bmp");
            PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        });
        size_t before = Host().returned.size();
        Note("menu item chosen: OpenConfigDialogMenu(#0, 0)");
        ChooseMenuItem(Host().Instance(0));
        if (Host().returned.size() > before)
            menu_result = Host().returned.back();
        Expect(watcher.dialogs == 1, "the settings dialog opens once");
    }
    Detail("the dialog opened with " + Describe(opened));
    Detail("typed " + Describe(typed) + ", the password shown masked");
    Expect(shown.host == typed.host && shown.port == typed.port && shown.user == typed.user &&
               shown.password == typed.password && shown.interval == typed.interval,
           "every field holds what was typed (shown: " + Describe(shown) + ")");
    Detail("OK pressed: the dialog's result " + std::to_string(menu_result) + " (1: OK, 2: Cancel)");
    Expect(menu_result == 1, "the dialog ends with OK");
    Expect(pictured_open && pictured_filled, "pictures of the dialog are saved");
    pictures.push_back("settings-dialog");
    pictures.push_back("settings-dialog-filled");
    const std::string saved = ReadFile(account_path);
    const std::string expected_file = "POPHOST=127.0.0.1\r\nPOPPORT=" + std::to_string(port) +
                                      "\r\nUSER=demo\r\nPASSWD=" + DOVECOT_PASSWORD + "\r\nINTERVAL=1\r\n";
    Detail("account.dat beside kivo.dll: " + OneLine(saved));
    Expect(saved == expected_file, "account.dat holds the typed account");
    WriteFile(out + "account.dat", saved);
    Detail("check timer 1: period " + std::to_string(Host().timers[1].period) + " ms, " +
           (Host().timers[1].started ? "started" : "stopped"));
    Expect(Host().timers[1].period == 60000 && Host().timers[1].started,
           "the check timer runs each minute");
    StepDone();

    // 4. The script functions.
    Step("script functions, called as a script calls them");
    EmptyMaildrop(DEMO_USER);
    int saved_count = ScriptCall("QV_KIVO_CheckNewArrival", {}, "");
    Expect(saved_count == 0, "the demo mailbox starts empty");
    const std::string pass = DOVECOT_PASSWORD;
    const std::string port_text = std::to_string(port);
    int three = ScriptCall("QV_KIVO_CheckNewArrivalDirect",
                           {StringArg("127.0.0.1"), IntArg(port), StringArg("three"), StringArg(pass)},
                           "\"127.0.0.1\", " + port_text + ", \"three\", \"" + pass + "\"");
    Expect(three == 3, "the mailbox \"three\" holds 3 messages");
    int refused = ScriptCall("QV_KIVO_CheckNewArrivalDirect",
                             {StringArg("127.0.0.1"), IntArg(port), StringArg("three"), StringArg("wrong")},
                             "\"127.0.0.1\", " + port_text + ", \"three\", \"wrong\"");
    Expect(refused == -5, "a wrong password gives -5");
    const int closed = ClosedPort();
    int unreachable = ScriptCall("QV_KIVO_CheckNewArrivalDirect",
                                 {StringArg("127.0.0.1"), IntArg(closed), StringArg("three"), StringArg(pass)},
                                 "\"127.0.0.1\", " + std::to_string(closed) + ", \"three\", \"" + pass + "\"");
    Expect(unreachable == -4, "a port nobody listens on gives -4");
    int mistyped = ScriptCall("QV_KIVO_CheckNewArrivalDirect",
                              {StringArg("127.0.0.1"), StringArg(port_text), StringArg("three"), StringArg(pass)},
                              "\"127.0.0.1\", \"" + port_text + "\", \"three\", \"" + pass + "\"");
    Expect(mistyped == -1, "a port given as a string gives -1");
    StepDone();

    // 5. New mail, announced to a script that handles the event.
    Step("new mail with a script handler for QV_KIVO_MailArrived: the check timer fires");
    std::vector<int> raised;
    std::vector<SeenMessageBox> boxes;
    bool unused = false;
    DeliverMessages(DEMO_USER, 2);
    Detail("2 messages delivered to \"demo\"");
    Host().has_event_handler = 1;
    Tick(1, &raised, &boxes, "", &unused);
    for (int count : raised)
        Detail(std::string("event ") + EVENT_NAME + "(" + std::to_string(count) + ") raised; the host delivered it");
    Expect(raised == std::vector<int>{2}, "the event is raised once with 2");
    Expect(boxes.empty(), "no message box while a script handles the event");
    Tick(1, &raised, &boxes, "", &unused);
    Detail("the timer fires again, nothing new: " +
           std::string(raised.empty() && boxes.empty() ? "no event" : "announced again"));
    Expect(raised.empty() && boxes.empty(), "2 messages, 2 announced: nothing is raised");
    StepDone();

    // 6. New mail, and no script handles the event: the message box.
    Step("new mail without a handler: the check timer fires and shows the message box");
    DeliverMessages(DEMO_USER, 1);
    Detail("1 message delivered to \"demo\" (3 waiting, 2 announced)");
    Host().has_event_handler = 0;
    bool pictured_box = false;
    Tick(1, &raised, &boxes, out + "new-mail.bmp", &pictured_box);
    for (const SeenMessageBox &box : boxes)
        Detail("message box " + Quoted(box.title) + ": " + Quoted(box.text) + ", closed with OK");
    Expect(raised.empty(), "no event without a handler");
    Expect(boxes.size() == 1 && boxes[0].title == "QV-KIVO" &&
               boxes[0].text == Ansi("メールが1本届いています"),
           "one message box \"QV-KIVO\" tells of 1 new message");
    Expect(boxes.size() == 1 && boxes[0].owner == Host().windows[2], "the box is owned by host window 2");
    Expect(pictured_box, "a picture of the message box is saved");
    pictures.push_back("new-mail");
    StepDone();

    // 7. The end.
    Step("shutdown: ZOKDestroyInstance, ZOKDestroy, the module unloaded");
    Note("ZOKDestroyInstance(#0)");
    int ended = destroy_instance(Host().Instance(0));
    Note("ZOKDestroyInstance -> " + std::to_string(ended));
    Note("ZOKDestroy()");
    destroy();
    FreeLibrary(module);
    Detail("ZOKDestroyInstance(#0) -> " + std::to_string(ended) + ", timer destroyed: " +
           (Host().timers[1].destroyed ? "yes" : "no"));
    Expect(ended == 1 && Host().timers[1].destroyed, "the instance ends and its timer is destroyed");
    Expect(CountCalls("error:") == 0, "the host saw no misuse");
    DeleteFileA(account_path.c_str());
    StepDone();

    WriteTranscript(out + "transcript.txt");
    Print("  %zu calls between host and plug-in in transcript.txt; %zu pictures", Host().calls.size(),
          pictures.size());
    if (g_failures)
        Print("kivo demo host: %d of its checks FAILED", g_failures);
    return g_failures ? 1 : 0;
}
