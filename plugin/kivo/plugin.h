// Module-wide state of the plug-in, shared by all its instances.
#pragma once

#include <windows.h>

#include "account.h"
#include "host_services.h"

extern HOST_SERVICES g_host;                      // the host's table, as copied at the handshake
extern HINSTANCE g_module;                        // this module, holding the dialog template
extern char g_plugin_folder[ACCOUNT_PATH_SIZE];   // from the host, ending in a separator

// What one instance keeps; the instance handle's word points to it.
struct INSTANCE_DATA {
    int announced;   // messages counted at the last delivered announcement
    unsigned timer;  // this instance's check timer (0: none)
};

// The check timer's period in milliseconds for an interval in minutes.
int CheckPeriod(int interval_minutes);

// Brings the instance's check timer in line with the account's interval.
void ApplyCheckInterval(void *instance);

extern "C" int KIVO_STDCALL OnCheckTimer(void *instance, int, int);
