// The account file against files that no dialog wrote: binary bytes, huge
// files and lines, repeated keys, no line feeds; and folders that are
// missing, write-protected or stand where the file should be.
#include <gtest/gtest.h>

#include <string.h>

#include <filesystem>
#include <string>

#include "account.h"
#include "account_records.h"
#include "temp_folder.h"
#include "write_protect.h"

namespace {

ACCOUNT_INFO Defaults()
{
    ACCOUNT_INFO defaults;
    SetDefaultAccount(&defaults);
    return defaults;
}

std::string AllByteValues(int times)
{
    std::string bytes;
    for (int t = 0; t < times; t++)
        for (int b = 0; b < 256; b++)
            bytes += (char)b;
    return bytes;
}

std::string Repeated(const std::string &line, int times)
{
    std::string text;
    text.reserve(line.size() * (size_t)times);
    for (int i = 0; i < times; i++)
        text += line;
    return text;
}

std::string NumberedUserLines(int count)
{
    std::string text;
    for (int i = 0; i < count; i++)
        text += "USER=u" + std::to_string(i) + "\r\n";
    return text;
}

struct HostileFile {
    const char *name;
    std::string bytes;
    ACCOUNT_INFO expected;  // read over PRIOR
};

void PrintTo(const HostileFile &c, std::ostream *out) { *out << c.name; }

const std::string P63(63, 'p');

const HostileFile HOSTILE_FILES[] = {
    // Binary bytes: lines split at 0x0A, carriage returns dropped, NULs end
    // a line's text; nothing here names a key.
    {"binary_bytes", AllByteValues(16), PRIOR},
    {"binary_around_a_line",
     std::string("\xff\xfe\x00\x01junk\x80=\x81\n", 12) + "USER=bob\n" + AllByteValues(1),
     Account("old.example", 995, "bob", "oldpw", 7)},
    {"only_nuls", std::string(10000, '\0'), PRIOR},
    {"nul_before_the_key", std::string("\0USER=eve\r\n", 11), PRIOR},
    // Size: the last of 100,000 lines wins; long lines are read in pieces.
    {"hundred_thousand_lines", NumberedUserLines(100000), Account("old.example", 995, "u99999", "oldpw", 7)},
    {"hundred_thousand_unknown_lines", Repeated("NOTE=x\r\n", 100000) + "INTERVAL=3\r\n",
     Account("old.example", 995, "olduser", "oldpw", 3)},
    {"value_of_10000_bytes", "PASSWD=" + std::string(10000, 'p') + "\r\nUSER=x\r\n",
     Account("old.example", 995, "x", P63.c_str(), 7)},
    {"line_of_10000_equals_signs", std::string(10000, '=') + "\r\n", PRIOR},
    {"key_inside_a_line_of_10000_bytes",
     std::string(255 * 3, 'a') + "USER=inner=" + std::string(10000 - 255 * 3 - 11, 'b') + "\r\n",
     Account("old.example", 995, "inner", "oldpw", 7)},
    {"lines_of_10000_bytes_only", Repeated(std::string(10000, 'z') + "\r\n", 20), PRIOR},
    // Keys named more than once: the last line wins, each key on its own.
    {"duplicate_keys",
     "POPHOST=a\r\nPOPPORT=1\r\nUSER=b\r\nPASSWD=c\r\nINTERVAL=2\r\n"
     "POPHOST=d\r\nPOPPORT=3\r\nUSER=e\r\nPASSWD=f\r\nINTERVAL=4\r\nUSER=g\r\n",
     Account("d", 3, "g", "f", 4)},
    {"duplicate_key_with_empty_value_keeps_the_earlier", "USER=first\r\nUSER=\r\n",
     Account("old.example", 995, "first", "oldpw", 7)},
    // No line feeds: one line, the value up to the next "=".
    {"no_line_feeds", "POPHOST=h USER=u PASSWD=p", Account("h USER", 995, "olduser", "oldpw", 7)},
    {"carriage_returns_only", "USER=a\rPASSWD=b\r", Account("old.example", 995, "aPASSWD", "oldpw", 7)},
    {"no_line_feed_in_10000_bytes", "USER=" + std::string(9995, 'q'), Account("old.example", 995,
                                                                                std::string(63, 'q').c_str(),
                                                                                "oldpw", 7)},
};

class HostileAccountFile : public ::testing::TestWithParam<HostileFile> {};

TEST_P(HostileAccountFile, ReadsByTheRules)
{
    TempFolder temp;
    temp.Write("account.dat", GetParam().bytes);
    ACCOUNT_INFO account = PRIOR;
    EXPECT_EQ(ReadAccountFile(temp.path("account.dat").c_str(), &account), 0);
    ExpectRecord(account, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileAccountFile, ::testing::ValuesIn(HOSTILE_FILES),
                         [](const ::testing::TestParamInfo<HostileFile> &info) { return info.param.name; });

TEST(AccountFolder, MissingFolder)
{
    TempFolder temp;
    std::string folder = temp.folder() + "gone/";
    std::string path = folder + "account.dat";
    ACCOUNT_INFO account = PRIOR;
    EXPECT_EQ(ReadAccountFile(path.c_str(), &account), -1);
    ExpectRecord(account, PRIOR);

    g_account = PRIOR;
    LoadAccount(folder.c_str());
    ExpectRecord(g_account, Defaults());

    EXPECT_EQ(WriteAccountFile(path.c_str(), &PRIOR), -1);
    EXPECT_FALSE(std::filesystem::exists(folder)) << "saving must not make the folder";
}

TEST(AccountFolder, FileThatIsAFolder)
{
    TempFolder temp;
    std::filesystem::create_directory(temp.path("account.dat"));
    std::filesystem::create_directory(temp.path("account.dat") + "/inside");
    ACCOUNT_INFO account = PRIOR;
    EXPECT_EQ(ReadAccountFile(temp.path("account.dat").c_str(), &account), -1)
        << "a folder is no file that opens";
    ExpectRecord(account, PRIOR);

    g_account = PRIOR;
    LoadAccount(temp.folder().c_str());
    ExpectRecord(g_account, Defaults());

    EXPECT_EQ(WriteAccountFile(temp.path("account.dat").c_str(), &PRIOR), -1);
    EXPECT_TRUE(std::filesystem::is_directory(temp.path("account.dat") + "/inside"));
    EXPECT_FALSE(std::filesystem::exists(temp.path("account.new")));
}

TEST(AccountFolder, WriteProtectedFolder)
{
    TempFolder temp;
    const std::string old_bytes = "POPHOST=old\r\nPOPPORT=1\r\nUSER=u\r\nPASSWD=p\r\nINTERVAL=2\r\n";
    temp.Write("account.dat", old_bytes);
    const ACCOUNT_INFO saved = Account("old", 1, "u", "p", 2);
    WriteProtectedFolder protect(temp.root.string());
    if (!protect.denied())
        GTEST_SKIP() << "this system lets the process write into a write-protected folder";

    // Reading needs no writing.
    ACCOUNT_INFO account = PRIOR;
    EXPECT_EQ(ReadAccountFile(temp.path("account.dat").c_str(), &account), 0);
    ExpectRecord(account, saved);

    EXPECT_EQ(WriteAccountFile(temp.path("account.dat").c_str(), &PRIOR), -1);
    EXPECT_EQ(temp.Read("account.dat"), old_bytes);
    EXPECT_FALSE(std::filesystem::exists(temp.path("account.new")));
}

}  // namespace
