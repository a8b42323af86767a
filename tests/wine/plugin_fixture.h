// The plug-in loaded into the test host, as a host application loads it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host_services.h"
#include "plugin_module.h"
#include "temp_folder.h"
#include "test_host.h"

typedef int(KIVO_STDCALL *InitializeEntry)(int, int, const char *, const HOST_SERVICES *);
typedef void(KIVO_STDCALL *DestroyEntry)(void);
typedef int(KIVO_STDCALL *NewInstanceEntry)(void *, int, int);
typedef int(KIVO_STDCALL *DestroyInstanceEntry)(void *);

// "β2" in Shift_JIS.
static const char INTERFACE_NAME[] = "\x83\xC0" "2";

// Shift_JIS texts the plug-in shows.
static const char SJIS_SERVER_NAME[] = "POP\x83\x54\x81\x5B\x83\x6F\x96\xBC";   // POPサーバ名
static const char SJIS_USER_NAME[] = "\x83\x86\x81\x5B\x83\x55\x96\xBC";       // ユーザ名
static const char SJIS_MENU_SUFFIX[] = "\\kivo\x82\xCC\x90\xDD\x92\xE8";        // \kivoの設定
static const char SJIS_PLUGIN_TITLE[] = "QV-KIVO\x83v\x83\x89\x83O\x83" "C\x83\x93";  // QV-KIVOプラグイン
static const char SJIS_REGISTRATION_FAILED[] = "\x82\xCC\x93o\x98^\x82\xC9\x8E\xB8\x94s";  // の登録に失敗

inline int Initialize(int a, int b, const char *text, const HOST_SERVICES *table)
{
    return PluginEntry<InitializeEntry>("ZOKInitialize")(a, b, text, table);
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(PluginModule(), nullptr) << "kivo.dll did not load";
        ResetHost();
        Host().plugin_folder = temp_.folder();
        table_ = HostTable();
        ASSERT_EQ(Initialize(1, 50, INTERFACE_NAME, &table_), 1);
    }

    int NewInstance(int n) { return PluginEntry<NewInstanceEntry>("ZOKNewInstance")(Host().Instance(n), 0, 0); }
    int DestroyInstance(int n) { return PluginEntry<DestroyInstanceEntry>("ZOKDestroyInstance")(Host().Instance(n)); }

    void WriteAccount(const std::string &host, int port, const std::string &user,
                      const std::string &password, int interval)
    {
        temp_.Write("account.dat", "POPHOST=" + host + "\r\nPOPPORT=" + std::to_string(port) +
                                       "\r\nUSER=" + user + "\r\nPASSWD=" + password +
                                       "\r\nINTERVAL=" + std::to_string(interval) + "\r\n");
    }

    TempFolder temp_;
    HOST_SERVICES table_;
};
