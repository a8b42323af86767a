// The account record, its file and its reading rules.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>

#include "account.h"
#include "account_records.h"
#include "temp_folder.h"

namespace {

// Shift_JIS bytes of the default texts "POPサーバ名" and "ユーザ名".
const char SJIS_SERVER_NAME[] = "POP\x83\x54\x81\x5B\x83\x6F\x96\xBC";
const char SJIS_USER_NAME[] = "\x83\x86\x81\x5B\x83\x55\x96\xBC";

struct ReadCase {
    const char *name;
    std::string file;
    ACCOUNT_INFO expected;  // read over PRIOR
};

TEST(AccountFile, ReadingRules)
{
    const ACCOUNT_INFO all = Account("mail.example", 110, "alice", "pw", 5);
    const std::string p63(63, 'p');
    const ReadCase cases[] = {
        {"as written", "POPHOST=mail.example\r\nPOPPORT=110\r\nUSER=alice\r\nPASSWD=pw\r\nINTERVAL=5\r\n", all},
        {"other order, other keys, bare line feeds",
         "INTERVAL=5\nFOO=bar\nPASSWD=pw\nUSER=alice\n# note\nPOPPORT=110\nPOPHOST=mail.example\n", all},
        {"later line wins", "USER=a\r\nUSER=b\r\n", Account("old.example", 995, "b", "oldpw", 7)},
        {"key with a space or in lower case", "USER =x\r\nuser=y\r\nPasswd=z\r\n", PRIOR},
        {"space after the equals sign kept", "USER= bob\r\n", Account("old.example", 995, " bob", "oldpw", 7)},
        {"empty values leave fields alone", "PASSWD=\r\nPOPHOST==\r\n=\r\n\r\nnoequals\r\nUSER\r\n", PRIOR},
        {"value ends at the next equals sign", "PASSWD=ab=cd\r\n", Account("old.example", 995, "olduser", "ab", 7)},
        {"leading equals signs skipped", "PASSWD==ab\r\n==USER=x\r\n", Account("old.example", 995, "x", "ab", 7)},
        {"numbers: letters, trailing letters", "POPPORT=abc\r\nINTERVAL=12xyz\r\n",
         Account("old.example", 0, "olduser", "oldpw", 12)},
        {"numbers: signs and blanks", "POPPORT=-5\r\nINTERVAL= +7\r\n", Account("old.example", -5, "olduser", "oldpw", 7)},
        {"numbers: beyond 32 bits saturate", "POPPORT=99999999999\r\nINTERVAL=-99999999999\r\n",
         Account("old.example", INT_MAX, "olduser", "oldpw", INT_MIN)},
        {"numbers: leading zeros", "POPPORT=000110\r\n", Account("old.example", 110, "olduser", "oldpw", 7)},
        {"empty file", "", PRIOR},
        {"last line without line feed", "USER=x\r\nINTERVAL=9", Account("old.example", 995, "x", "oldpw", 9)},
        {"long value cut to 63 bytes", "PASSWD=" + std::string(100, 'p') + "\r\n",
         Account("old.example", 995, "olduser", p63.c_str(), 7)},
        {"line longer than 255 bytes read as two", "PASSWD=" + std::string(248, 'p') + "USER=carol\r\n",
         Account("old.example", 995, "carol", p63.c_str(), 7)},
        {"NUL ends the line's text", std::string("USER=ab\0cd\r\n", 12), Account("old.example", 995, "ab", "oldpw", 7)},
        {"carriage returns dropped anywhere", "US\rER=x\r\r\n", Account("old.example", 995, "x", "oldpw", 7)},
        {"Shift_JIS bytes kept", std::string("USER=") + SJIS_USER_NAME + "\r\n",
         Account("old.example", 995, SJIS_USER_NAME, "oldpw", 7)},
    };
    TempFolder temp;
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        temp.Write("account.dat", c.file);
        ACCOUNT_INFO account = PRIOR;
        EXPECT_EQ(ReadAccountFile(temp.path("account.dat").c_str(), &account), 0);
        ExpectRecord(account, c.expected);
    }
}

TEST(AccountFile, MissingFileLeavesRecordUntouched)
{
    TempFolder temp;
    ACCOUNT_INFO account = PRIOR;
    EXPECT_EQ(ReadAccountFile(temp.path("account.dat").c_str(), &account), -1);
    ExpectRecord(account, PRIOR);
}

TEST(AccountFile, WrittenBytesAndRoundTrip)
{
    TempFolder temp;
    std::string path = temp.path("account.dat");
    ACCOUNT_INFO defaults;
    SetDefaultAccount(&defaults);
    ASSERT_EQ(WriteAccountFile(path.c_str(), &defaults), 0);
    EXPECT_EQ(temp.Read("account.dat"), std::string("POPHOST=") + SJIS_SERVER_NAME +
                                             "\r\nPOPPORT=110\r\nUSER=" + SJIS_USER_NAME +
                                             "\r\nPASSWD=\r\nINTERVAL=0\r\n");

    const ACCOUNT_INFO samples[] = {
        Account("pop.example.jp", 995, "alice", "p@ss w0rd", 5),
        Account("h", -1, SJIS_USER_NAME, std::string(63, 'z').c_str(), -3),
        Account("127.0.0.1", INT_MIN, "u", "v", INT_MAX),
    };
    for (const ACCOUNT_INFO &sample : samples) {
        ASSERT_EQ(WriteAccountFile(path.c_str(), &sample), 0);
        char expected[1024];
        snprintf(expected, sizeof expected, "POPHOST=%s\r\nPOPPORT=%d\r\nUSER=%s\r\nPASSWD=%s\r\nINTERVAL=%d\r\n",
                 sample.host, sample.port, sample.user, sample.password, sample.interval);
        EXPECT_EQ(temp.Read("account.dat"), expected);
        ACCOUNT_INFO back;
        memset(&back, 0, sizeof back);
        ASSERT_EQ(ReadAccountFile(path.c_str(), &back), 0);
        ExpectRecord(back, sample);
    }
    EXPECT_FALSE(std::filesystem::exists(temp.path("account.new")));
}

TEST(AccountFile, EqualsSignDoesNotSurviveTheFile)
{
    TempFolder temp;
    std::string path = temp.path("account.dat");
    ACCOUNT_INFO account = Account("h", 1, "=lead", "a=b", 0);
    ASSERT_EQ(WriteAccountFile(path.c_str(), &account), 0);
    ACCOUNT_INFO back = PRIOR;
    ASSERT_EQ(ReadAccountFile(path.c_str(), &back), 0);
    EXPECT_STREQ(back.user, "lead");
    EXPECT_STREQ(back.password, "a");
}

TEST(AccountFile, FailedSaveLeavesTheOldFileAsItWas)
{
    TempFolder temp;
    const std::string old_bytes = "POPHOST=old\r\nPOPPORT=1\r\nUSER=u\r\nPASSWD=p\r\nINTERVAL=2\r\n";
    temp.Write("account.dat", old_bytes);
    ACCOUNT_INFO account = Account("new", 2, "v", "q", 3);

    // The file beside it, which the save writes first, cannot be created.
    std::filesystem::create_directory(temp.path("account.new"));
    EXPECT_EQ(WriteAccountFile(temp.path("account.dat").c_str(), &account), -1);
    EXPECT_EQ(temp.Read("account.dat"), old_bytes);
    std::filesystem::remove(temp.path("account.new"));

    // The folder does not exist.
    EXPECT_EQ(WriteAccountFile(temp.path("gone/account.dat").c_str(), &account), -1);
    EXPECT_FALSE(std::filesystem::exists(temp.path("gone")));
}

TEST(LoadAccount, DefaultsOnlyWhenTheFileCannotBeOpened)
{
    TempFolder temp;
    ACCOUNT_INFO defaults;
    SetDefaultAccount(&defaults);
    EXPECT_STREQ(defaults.host, SJIS_SERVER_NAME);
    EXPECT_STREQ(defaults.user, SJIS_USER_NAME);

    g_account = PRIOR;
    LoadAccount(temp.folder().c_str());
    ExpectRecord(g_account, defaults);

    // A file that names only some keys: the others keep what the record held.
    g_account = PRIOR;
    temp.Write("account.dat", "USER=bob\r\nINTERVAL=4\r\n");
    LoadAccount(temp.folder().c_str());
    ExpectRecord(g_account, Account("old.example", 995, "bob", "oldpw", 4));
    EXPECT_EQ(temp.Read("account.dat"), "USER=bob\r\nINTERVAL=4\r\n") << "loading never writes";
}

TEST(LoadAccount, FolderTooLongForThePathCountsAsNoFile)
{
    TempFolder temp;
    temp.Write("account.dat", "USER=bob\r\n");
    char path[ACCOUNT_PATH_SIZE];
    std::string fits(248, 'f');
    EXPECT_EQ(BuildAccountPath(fits.c_str(), path), 0);
    EXPECT_EQ(strlen(path), 259u);
    std::string too_long = temp.folder() + std::string(300, 'x') + "/";
    EXPECT_EQ(BuildAccountPath(too_long.c_str(), path), -1);
    EXPECT_STREQ(path, "");

    g_account = PRIOR;
    LoadAccount(too_long.c_str());
    ACCOUNT_INFO defaults;
    SetDefaultAccount(&defaults);
    ExpectRecord(g_account, defaults);
}

}  // namespace
