// The plug-in in its host: the handshake, instances, the periodic check and
// its announcement, the script functions and the settings command.
//
// Everything runs on the host's thread. A slot the host's table leaves empty
// is never called: the service counts as failed.
#include <windows.h>

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "account.h"
#include "config_dialog.h"
#include "plugin.h"
#include "pop3.h"
#include "texts.h"

HOST_SERVICES g_host;
HINSTANCE g_module;
char g_plugin_folder[ACCOUNT_PATH_SIZE];

enum { HOST_OK = 1, MESSAGE_SIZE = 256, MENU_ITEM_SIZE = 256 };

static const char MAIL_ARRIVED_EVENT[] = "QV_KIVO_MailArrived";

static INSTANCE_DATA *InstanceData(void *instance)
{
    return instance ? *(INSTANCE_DATA **)instance : nullptr;
}

// The host's services, each answering "failed" when its slot is empty.

static HWND HostWindow(void *instance, int which)
{
    return g_host.GetHostWindow ? g_host.GetHostWindow(instance, which) : nullptr;
}

static void ReturnToScript(void *instance, int value)
{
    if (g_host.SetReturnValue)
        g_host.SetReturnValue(instance, &value, HOST_TYPE_INTEGER);
}

static unsigned CreateCheckTimer(void *instance, int period)
{
    return g_host.CreateTimer ? g_host.CreateTimer(instance, period, 1, OnCheckTimer, 0) : 0;
}

static void RunTimer(unsigned timer, bool run)
{
    TimerService service = run ? g_host.StartTimer : g_host.StopTimer;
    if (service)
        service(timer);
}

// Module entry and handshake.

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = module;
    return TRUE;
}

extern "C" int KIVO_STDCALL ZOKInitialize(int a, int b, const char *text, const HOST_SERVICES *table)
{
    if (a != 1 || b != 50 || !text || strcmp(text, TEXT_INTERFACE_NAME) != 0 || !table)
        return 0;
    memset(&g_host, 0, sizeof g_host);
    size_t size = table->cbSize < sizeof g_host ? table->cbSize : sizeof g_host;
    memcpy(&g_host, table, size);
    return 1;
}

extern "C" void KIVO_STDCALL ZOKDestroy(void)
{
}

// The periodic check.

int CheckPeriod(int interval_minutes)
{
    long long period = (long long)interval_minutes * 60000;
    if (period > INT_MAX)
        return INT_MAX;
    if (period < INT_MIN)
        return INT_MIN;
    return (int)period;
}

void ApplyCheckInterval(void *instance)
{
    INSTANCE_DATA *data = InstanceData(instance);
    if (!data)
        return;
    int period = CheckPeriod(g_account.interval);
    if (data->timer == 0)
        data->timer = CreateCheckTimer(instance, period);
    else if (g_host.SetTimerInterval)
        g_host.SetTimerInterval(data->timer, period);
    RunTimer(data->timer, g_account.interval >= 1);
}

static int CheckSavedAccount(void)
{
    return kivo(g_account.host, g_account.port, g_account.user, g_account.password);
}

extern "C" int KIVO_STDCALL OnCheckTimer(void *instance, int, int)
{
    INSTANCE_DATA *data = InstanceData(instance);
    if (!data || !g_host.IsReady || g_host.IsReady() == 0)
        return 0;
    int count = CheckSavedAccount();
    if (count <= data->announced)
        return 0;
    int arrived = count - data->announced;
    if (g_host.HasEventHandler && g_host.HasEventHandler(instance, MAIL_ARRIVED_EVENT) != 0) {
        if (g_host.RaiseEvent &&
            g_host.RaiseEvent(instance, 1, "vi", MAIL_ARRIVED_EVENT, arrived) == HOST_OK)
            data->announced = count;
    } else {
        char text[MESSAGE_SIZE];
        snprintf(text, sizeof text, TEXT_MAIL_ARRIVED_FORMAT, arrived);
        MessageBoxA(HostWindow(instance, 2), text, TEXT_MAIL_ARRIVED_TITLE, MB_OK);
    }
    return 0;
}

// Script functions and the settings command.

static const int DIRECT_ARGUMENT_TYPES[4] = {HOST_TYPE_STRING, HOST_TYPE_INTEGER, HOST_TYPE_STRING,
                                             HOST_TYPE_STRING};

// Fetches the script's four arguments; false when one is missing or of the
// wrong type. The string buffers it obtained are in `texts` either way.
static bool FetchDirectArguments(void *instance, char *texts[4], int *port)
{
    if (!g_host.GetArgInfo || !g_host.GetArgValue)
        return false;
    for (int index = 0; index < 4; index++) {
        int type = 0, size = 0;
        if (g_host.GetArgInfo(instance, &type, &size, index) != HOST_OK ||
            type != DIRECT_ARGUMENT_TYPES[index])
            return false;
        if (type == HOST_TYPE_INTEGER) {
            if (size != (int)sizeof *port)
                return false;
            g_host.GetArgValue(instance, port, size, index);
        } else {
            if (size < 1 || !(texts[index] = (char *)malloc((size_t)size)))
                return false;
            g_host.GetArgValue(instance, texts[index], size, index);
            texts[index][size - 1] = '\0';
        }
    }
    return true;
}

extern "C" void KIVO_STDCALL POPDirect(void *instance, int)
{
    char *texts[4] = {nullptr, nullptr, nullptr, nullptr};
    int port = 0;
    int result = -1;
    if (FetchDirectArguments(instance, texts, &port))
        result = kivo(texts[0], port, texts[2], texts[3]);
    ReturnToScript(instance, result);
    for (char *text : texts)
        free(text);
}

extern "C" void KIVO_STDCALL POP(void *instance, int)
{
    ReturnToScript(instance, CheckSavedAccount());
}

extern "C" void KIVO_STDCALL OpenConfigDialog(void *instance, int)
{
    if (g_host.EnterModal)
        g_host.EnterModal(instance);
    INT_PTR result = DialogBoxParamA(g_module, "CONFIGDLG", HostWindow(instance, 1), ConfigDlgProc, 0);
    if (g_host.LeaveModal)
        g_host.LeaveModal(instance);
    InvalidateRect(HostWindow(instance, 1), nullptr, TRUE);
    ApplyCheckInterval(instance);
    ReturnToScript(instance, (int)result);
}

extern "C" void KIVO_STDCALL OpenConfigDialogMenu(void *instance, int)
{
    OpenConfigDialog(instance, 0);
}

// Instances.

struct SCRIPT_FUNCTION {
    const char *name;
    HostScriptEntry entry;
    const char *signature;
};

static const SCRIPT_FUNCTION SCRIPT_FUNCTIONS[] = {
    {"QV_KIVO_CheckNewArrivalDirect", POPDirect, "isiss"},
    {"QV_KIVO_CheckNewArrival", POP, "i"},
    {"QV_KIVO_OpenConfigDialog", OpenConfigDialog, "i"},
};

// The menu item: the host's text, then "\kivoの設定". A host text too long
// for the item is cut at a character boundary so that the whole item fits.
static void FormatMenuItem(const char *host_text, char *item)
{
    size_t room = MENU_ITEM_SIZE - sizeof TEXT_MENU_ITEM_SUFFIX;
    size_t length = 0;
    while (host_text[length]) {
        size_t step = IsDBCSLeadByte((BYTE)host_text[length]) && host_text[length + 1] ? 2 : 1;
        if (length + step > room)
            break;
        length += step;
    }
    memcpy(item, host_text, length);
    memcpy(item + length, TEXT_MENU_ITEM_SUFFIX, sizeof TEXT_MENU_ITEM_SUFFIX);
}

static void RegisterWithHost(void *instance)
{
    for (const SCRIPT_FUNCTION &function : SCRIPT_FUNCTIONS) {
        int registered = g_host.RegisterFunction
                             ? g_host.RegisterFunction(instance, function.name, function.entry,
                                                       function.signature, 0)
                             : 0;
        if (registered != HOST_OK) {
            char text[MESSAGE_SIZE];
            snprintf(text, sizeof text, "%s%s", function.name, TEXT_REGISTRATION_FAILED);
            MessageBoxA(nullptr, text, TEXT_PLUGIN_TITLE, MB_OK);
        }
    }
    const char *menu_path = g_host.GetMenuPath ? g_host.GetMenuPath(instance) : nullptr;
    char item[MENU_ITEM_SIZE];
    FormatMenuItem(menu_path ? menu_path : "", item);
    int registered = g_host.RegisterMenuItem
                         ? g_host.RegisterMenuItem(instance, item, 0, 0, OpenConfigDialogMenu)
                         : 0;
    if (registered != HOST_OK)
        MessageBoxA(nullptr, TEXT_MENU_FAILED, TEXT_PLUGIN_TITLE, MB_OK);
}

extern "C" int KIVO_STDCALL ZOKNewInstance(void *instance, int, int)
{
    if (!instance)
        return 0;
    INSTANCE_DATA *data = (INSTANCE_DATA *)calloc(1, sizeof *data);
    *(INSTANCE_DATA **)instance = data;
    if (!data)
        return 0;
    if (g_host.GetPluginFolder)
        g_host.GetPluginFolder(instance, g_plugin_folder);
    g_plugin_folder[sizeof g_plugin_folder - 1] = '\0';
    LoadAccount(g_plugin_folder);
    data->timer = CreateCheckTimer(instance, CheckPeriod(g_account.interval));
    RunTimer(data->timer, g_account.interval > 0);
    RegisterWithHost(instance);
    return 1;
}

extern "C" int KIVO_STDCALL ZOKDestroyInstance(void *instance)
{
    INSTANCE_DATA *data = InstanceData(instance);
    if (!data)
        return 0;
    unsigned timer = data->timer;
    free(data);
    *(INSTANCE_DATA **)instance = nullptr;  // a second call finds nothing to free
    return g_host.DestroyTimer ? g_host.DestroyTimer(timer) : 0;
}
