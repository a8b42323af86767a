// A save that runs out of disk space mid-write leaves the old file whole.
#include <gtest/gtest.h>

#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "account.h"
#include "temp_folder.h"

TEST(AccountSave, DiskFullMidWriteKeepsOldFile)
{
    TempFolder temp;
    const std::string old_bytes = "POPHOST=old\r\nPOPPORT=1\r\nUSER=u\r\nPASSWD=p\r\nINTERVAL=2\r\n";
    temp.Write("account.dat", old_bytes);
    std::string path = temp.path("account.dat");

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writes beyond 20 bytes fail as on a full disk.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {20, 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        ACCOUNT_INFO account;
        memset(&account, 0, sizeof account);
        strcpy(account.host, "a-new-host-name.example");
        strcpy(account.user, "somebody");
        _exit(WriteAccountFile(path.c_str(), &account) == -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed save reported success";
    EXPECT_EQ(temp.Read("account.dat"), old_bytes);
    EXPECT_FALSE(std::filesystem::exists(temp.path("account.new")));
}
