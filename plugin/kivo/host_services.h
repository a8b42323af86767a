// The host application's table of services, as the host hands it to
// ZOKInitialize, and the forms of the entries the host calls back.
//
// 46 slots of 32 bits; slot n at byte 4n; slot 0 is the table's size in
// bytes. Every service is __stdcall but RaiseEvent, which is __cdecl and
// takes one value per argument letter of its signature.
#pragma once

#include <stddef.h>

#include "platform.h"

// Type codes of script values.
enum { HOST_TYPE_INTEGER = 2, HOST_TYPE_STRING = 4 };

// Entries the host calls back.
typedef void(KIVO_STDCALL *HostScriptEntry)(void *instance, int unused);
typedef int(KIVO_STDCALL *HostTimerCallback)(void *instance, int unused1, int unused2);

typedef int(KIVO_CDECL *RaiseEventService)(void *instance, int one, const char *signature,
                                           const char *name, ...);
typedef int(KIVO_STDCALL *HasEventHandlerService)(void *instance, const char *name);
typedef int(KIVO_STDCALL *RegisterFunctionService)(void *instance, const char *name,
                                                   HostScriptEntry entry, const char *signature,
                                                   int zero);
typedef int(KIVO_STDCALL *GetArgInfoService)(void *instance, int *type, int *size, int index);
typedef int(KIVO_STDCALL *GetArgValueService)(void *instance, void *destination, int size, int index);
typedef int(KIVO_STDCALL *SetReturnValueService)(void *instance, const void *value, int type);
typedef HWND(KIVO_STDCALL *GetHostWindowService)(void *instance, int which);
typedef int(KIVO_STDCALL *IsReadyService)(void);
typedef int(KIVO_STDCALL *RegisterMenuItemService)(void *instance, const char *text, int, int,
                                                   HostScriptEntry entry);
typedef const char *(KIVO_STDCALL *GetMenuPathService)(void *instance);
typedef unsigned(KIVO_STDCALL *CreateTimerService)(void *instance, int period_ms, int one,
                                                   HostTimerCallback callback, int zero);
typedef int(KIVO_STDCALL *TimerService)(unsigned timer);
typedef int(KIVO_STDCALL *SetTimerIntervalService)(unsigned timer, int period_ms);
typedef int(KIVO_STDCALL *ModalService)(void *instance);
typedef int(KIVO_STDCALL *GetPluginFolderService)(void *instance, char *folder);

struct HOST_SERVICES {
    unsigned cbSize;                          //  0
    RaiseEventService RaiseEvent;             //  1
    HasEventHandlerService HasEventHandler;   //  2
    RegisterFunctionService RegisterFunction; //  3
    void *reserved4[2];                       //  4-5
    GetArgInfoService GetArgInfo;             //  6
    GetArgValueService GetArgValue;           //  7
    SetReturnValueService SetReturnValue;     //  8
    void *reserved9;                          //  9
    GetHostWindowService GetHostWindow;       // 10
    void *reserved11[5];                      // 11-15
    IsReadyService IsReady;                   // 16
    void *reserved17[7];                      // 17-23
    RegisterMenuItemService RegisterMenuItem; // 24
    void *reserved25[10];                     // 25-34
    GetMenuPathService GetMenuPath;           // 35
    CreateTimerService CreateTimer;           // 36
    TimerService DestroyTimer;                // 37
    TimerService StartTimer;                  // 38
    TimerService StopTimer;                   // 39
    SetTimerIntervalService SetTimerInterval; // 40
    void *reserved41;                         // 41
    ModalService EnterModal;                  // 42
    ModalService LeaveModal;                  // 43
    void *reserved44;                         // 44
    GetPluginFolderService GetPluginFolder;   // 45
};

static_assert(sizeof(HOST_SERVICES) == 184, "the host table has 46 slots of 4 bytes");
static_assert(offsetof(HOST_SERVICES, GetPluginFolder) == 45 * 4, "slot 45");
static_assert(offsetof(HOST_SERVICES, IsReady) == 16 * 4, "slot 16");
static_assert(offsetof(HOST_SERVICES, RegisterMenuItem) == 24 * 4, "slot 24");
static_assert(offsetof(HOST_SERVICES, GetMenuPath) == 35 * 4, "slot 35");
