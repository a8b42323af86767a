// A host application for tests and the demo: it serves every slot of the
// host table, records each call the plug-in makes with its arguments, and
// answers as the test asks.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host_services.h"

// A script value handed to a script function.
struct HostArg {
    int type;           // HOST_TYPE_INTEGER or HOST_TYPE_STRING
    std::string bytes;  // a string's bytes (the NUL is added), or the integer's 4 bytes
    int size;           // the size GetArgInfo reports; -1: the natural one
};
HostArg IntArg(int value);
HostArg StringArg(const std::string &text);

struct HostTimer {
    void *instance;
    int period;
    HostTimerCallback callback;
    bool started;
    bool destroyed;
};

struct RegisteredEntry {
    void *instance;
    std::string name;
    HostScriptEntry entry;
    std::string signature;
};

struct TestHost {
    // What the host answers.
    std::set<std::string> refused_functions;  // RegisterFunction gives 0 for these
    int menu_result = 1;
    int has_event_handler = 0;
    int raise_event_result = 1;
    int is_ready = 1;
    int get_arg_info_result = 1;
    unsigned next_timer = 1;  // the handle the next CreateTimer gives (then counts up)
    int destroy_timer_result = 1;
    std::string menu_path = "Plugins";
    std::string plugin_folder;  // with its trailing backslash
    std::vector<HostArg> args;
    HWND windows[3] = {nullptr, nullptr, nullptr};

    // What the plug-in did.
    std::vector<std::string> calls;
    std::vector<int> returned;       // every SetReturnValue
    std::vector<int> raised_counts;  // every RaiseEvent's number of new messages
    std::map<unsigned, HostTimer> timers;
    std::vector<RegisteredEntry> functions;
    std::vector<RegisteredEntry> menu_items;

    // Instance handles: words the plug-in hangs its data on.
    void *words[4] = {nullptr, nullptr, nullptr, nullptr};
    void *Instance(int n) { return &words[n]; }
};

TestHost &Host();
// Forgets every answer and record but the plug-in folder; windows 1 and 2
// are the host's main window.
void ResetHost();
// The host's main window, made on first use.
HWND HostWindow();
// A full table (cbSize 184) whose services act on Host().
HOST_SERVICES HostTable();

// Fires the timer as the host would at its expiry; false when it does not
// exist, is stopped or was destroyed.
bool FireTimer(unsigned handle);
// Calls the script function registered under `name` for the instance, as a
// script would, and returns what it handed to SetReturnValue (or INT_MIN).
int CallScriptFunction(void *instance, const std::string &name);
// Chooses the menu item registered for the instance.
void ChooseMenuItem(void *instance);
// The calls whose text starts with `prefix`, in order.
std::vector<std::string> CallsStartingWith(const std::string &prefix);
