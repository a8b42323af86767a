#include "test_host.h"

#include <limits.h>
#include <stdarg.h>
#include <string.h>

#include <string>

static TestHost g_host_state;

TestHost &Host()
{
    return g_host_state;
}

void ResetHost()
{
    std::string folder = g_host_state.plugin_folder;
    HWND window = HostWindow();
    g_host_state = TestHost();
    g_host_state.plugin_folder = folder;
    g_host_state.windows[1] = g_host_state.windows[2] = window;
}

HWND HostWindow()
{
    static HWND window = CreateWindowExA(0, "STATIC", "kivo test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                         0, 0, 640, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    return window;
}

HostArg IntArg(int value)
{
    return {HOST_TYPE_INTEGER, std::string((const char *)&value, sizeof value), -1};
}

HostArg StringArg(const std::string &text)
{
    return {HOST_TYPE_STRING, text, -1};
}

static std::string Name(void *instance)
{
    for (int n = 0; n < 4; n++)
        if (instance == Host().Instance(n))
            return "#" + std::to_string(n);
    return instance ? "?" : "null";
}

static void Record(const std::string &call)
{
    Host().calls.push_back(call);
}

static int KIVO_CDECL RaiseEvent(void *instance, int one, const char *signature, const char *name, ...)
{
    va_list values;
    va_start(values, name);
    int count = va_arg(values, int);
    va_end(values);
    Host().raised_counts.push_back(count);
    Record("RaiseEvent(" + Name(instance) + ", " + std::to_string(one) + ", " + signature + ", " +
           name + ", " + std::to_string(count) + ") -> " + std::to_string(Host().raise_event_result));
    return Host().raise_event_result;
}

static int KIVO_STDCALL HasEventHandler(void *instance, const char *name)
{
    Record("HasEventHandler(" + Name(instance) + ", " + name + ") -> " +
           std::to_string(Host().has_event_handler));
    return Host().has_event_handler;
}

static int KIVO_STDCALL RegisterFunction(void *instance, const char *name, HostScriptEntry entry,
                                         const char *signature, int zero)
{
    int result = Host().refused_functions.count(name) ? 0 : 1;
    if (result)
        Host().functions.push_back({instance, name, entry, signature});
    Record("RegisterFunction(" + Name(instance) + ", " + name + ", " + signature + ", " +
           std::to_string(zero) + ") -> " + std::to_string(result));
    return result;
}

static int KIVO_STDCALL GetArgInfo(void *instance, int *type, int *size, int index)
{
    Record("GetArgInfo(" + Name(instance) + ", " + std::to_string(index) + ")");
    if (index < 0 || index >= (int)Host().args.size())
        return 0;
    const HostArg &arg = Host().args[index];
    *type = arg.type;
    int natural = arg.type == HOST_TYPE_STRING ? (int)arg.bytes.size() + 1 : (int)arg.bytes.size();
    *size = arg.size >= 0 ? arg.size : natural;
    return Host().get_arg_info_result;
}

static int KIVO_STDCALL GetArgValue(void *instance, void *destination, int size, int index)
{
    Record("GetArgValue(" + Name(instance) + ", " + std::to_string(size) + ", " +
           std::to_string(index) + ")");
    if (index < 0 || index >= (int)Host().args.size() || size <= 0)
        return 0;
    std::string bytes = Host().args[index].bytes;
    if (Host().args[index].type == HOST_TYPE_STRING)
        bytes.push_back('\0');
    memcpy(destination, bytes.data(), bytes.size() < (size_t)size ? bytes.size() : (size_t)size);
    return 1;
}

static int KIVO_STDCALL SetReturnValue(void *instance, const void *value, int type)
{
    int number = *(const int *)value;
    Host().returned.push_back(number);
    Record("SetReturnValue(" + Name(instance) + ", " + std::to_string(number) + ", " +
           std::to_string(type) + ")");
    return 1;
}

static HWND KIVO_STDCALL GetHostWindow(void *instance, int which)
{
    Record("GetHostWindow(" + Name(instance) + ", " + std::to_string(which) + ")");
    return which >= 0 && which < 3 ? Host().windows[which] : nullptr;
}

static int KIVO_STDCALL IsReady(void)
{
    Record("IsReady() -> " + std::to_string(Host().is_ready));
    return Host().is_ready;
}

static int KIVO_STDCALL RegisterMenuItem(void *instance, const char *text, int a, int b,
                                         HostScriptEntry entry)
{
    if (Host().menu_result == 1)
        Host().menu_items.push_back({instance, text, entry, ""});
    Record("RegisterMenuItem(" + Name(instance) + ", " + text + ", " + std::to_string(a) + ", " +
           std::to_string(b) + ") -> " + std::to_string(Host().menu_result));
    return Host().menu_result;
}

static const char *KIVO_STDCALL GetMenuPath(void *instance)
{
    Record("GetMenuPath(" + Name(instance) + ")");
    return Host().menu_path.c_str();
}

static unsigned KIVO_STDCALL CreateTimer(void *instance, int period, int one,
                                         HostTimerCallback callback, int zero)
{
    unsigned handle = Host().next_timer;
    if (handle)
        Host().next_timer++;
    Host().timers[handle] = {instance, period, callback, false, false};
    Record("CreateTimer(" + Name(instance) + ", " + std::to_string(period) + ", " +
           std::to_string(one) + ", " + (callback ? "callback" : "null") + ", " +
           std::to_string(zero) + ") -> " + std::to_string(handle));
    return handle;
}

static int KIVO_STDCALL DestroyTimer(unsigned timer)
{
    Record("DestroyTimer(" + std::to_string(timer) + ") -> " +
           std::to_string(Host().destroy_timer_result));
    auto found = Host().timers.find(timer);
    if (found != Host().timers.end()) {
        if (found->second.destroyed)
            Record("error: timer " + std::to_string(timer) + " destroyed twice");
        found->second.destroyed = true;
    }
    return Host().destroy_timer_result;
}

static int KIVO_STDCALL StartTimer(unsigned timer)
{
    Record("StartTimer(" + std::to_string(timer) + ")");
    if (Host().timers.count(timer))
        Host().timers[timer].started = true;
    return 1;
}

static int KIVO_STDCALL StopTimer(unsigned timer)
{
    Record("StopTimer(" + std::to_string(timer) + ")");
    if (Host().timers.count(timer))
        Host().timers[timer].started = false;
    return 1;
}

static int KIVO_STDCALL SetTimerInterval(unsigned timer, int period)
{
    Record("SetTimerInterval(" + std::to_string(timer) + ", " + std::to_string(period) + ")");
    if (Host().timers.count(timer))
        Host().timers[timer].period = period;
    return 1;
}

static int KIVO_STDCALL EnterModal(void *instance)
{
    Record("EnterModal(" + Name(instance) + ")");
    return 1;
}

static int KIVO_STDCALL LeaveModal(void *instance)
{
    Record("LeaveModal(" + Name(instance) + ")");
    return 1;
}

static int KIVO_STDCALL GetPluginFolder(void *instance, char *folder)
{
    Record("GetPluginFolder(" + Name(instance) + ")");
    strncpy(folder, Host().plugin_folder.c_str(), 259);
    folder[259] = '\0';
    return 1;
}

HOST_SERVICES HostTable()
{
    HOST_SERVICES table;
    memset(&table, 0, sizeof table);
    table.cbSize = sizeof table;
    table.RaiseEvent = RaiseEvent;
    table.HasEventHandler = HasEventHandler;
    table.RegisterFunction = RegisterFunction;
    table.GetArgInfo = GetArgInfo;
    table.GetArgValue = GetArgValue;
    table.SetReturnValue = SetReturnValue;
    table.GetHostWindow = GetHostWindow;
    table.IsReady = IsReady;
    table.RegisterMenuItem = RegisterMenuItem;
    table.GetMenuPath = GetMenuPath;
    table.CreateTimer = CreateTimer;
    table.DestroyTimer = DestroyTimer;
    table.StartTimer = StartTimer;
    table.StopTimer = StopTimer;
    table.SetTimerInterval = SetTimerInterval;
    table.EnterModal = EnterModal;
    table.LeaveModal = LeaveModal;
    table.GetPluginFolder = GetPluginFolder;
    return table;
}

bool FireTimer(unsigned handle)
{
    auto found = Host().timers.find(handle);
    if (found == Host().timers.end() || !found->second.started || found->second.destroyed)
        return false;
    Record("tick(" + std::to_string(handle) + ")");
    found->second.callback(found->second.instance, 0, 0);
    return true;
}

int CallScriptFunction(void *instance, const std::string &name)
{
    for (const RegisteredEntry &function : Host().functions) {
        if (function.instance == instance && function.name == name) {
            size_t before = Host().returned.size();
            function.entry(instance, 0);
            return Host().returned.size() > before ? Host().returned.back() : INT_MIN;
        }
    }
    return INT_MIN;
}

void ChooseMenuItem(void *instance)
{
    for (const RegisteredEntry &item : Host().menu_items)
        if (item.instance == instance)
            item.entry(instance, 0);
}

std::vector<std::string> CallsStartingWith(const std::string &prefix)
{
    std::vector<std::string> found;
    for (const std::string &call : Host().calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}
