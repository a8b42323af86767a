// The account file reader, fed any bytes as the file. Every text field must
// stay NUL-terminated within its 64 bytes, and hold either what it held
// before or bytes that stand in the file (carriage returns aside).
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "account.h"

namespace {

// One file per process, in memory where the system offers it.
std::string g_path;

void RemoveFile()
{
    unlink(g_path.c_str());
}

std::string FilePath()
{
    std::string path = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path += "/kivo-account-fuzz.XXXXXX";
    int fd = mkstemp(&path[0]);
    if (fd < 0)
        abort();
    close(fd);
    g_path = path;
    atexit(RemoveFile);
    return path;
}

void CheckText(const char *field, const char *before, const std::string &file)
{
    const char *end = (const char *)memchr(field, '\0', ACCOUNT_TEXT_SIZE);
    if (!end)
        abort();  // not terminated within the field
    size_t length = (size_t)(end - field);
    if (strcmp(field, before) == 0)
        return;
    if (length == 0 || file.find(std::string(field, length)) == std::string::npos)
        abort();  // a value that the file does not hold
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = FilePath();
    FILE *file = fopen(path.c_str(), "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        abort();

    // The record starts full: 63 bytes in each text, so that a value that is
    // not terminated runs into the next field where ASan and the check see it.
    ACCOUNT_INFO *account = (ACCOUNT_INFO *)malloc(sizeof(ACCOUNT_INFO));
    ACCOUNT_INFO before;
    memset(&before, 'k', sizeof before);
    before.host[ACCOUNT_TEXT_SIZE - 1] = before.user[ACCOUNT_TEXT_SIZE - 1] =
        before.password[ACCOUNT_TEXT_SIZE - 1] = '\0';
    before.port = before.interval = 12345;
    *account = before;

    if (ReadAccountFile(path.c_str(), account) != 0)
        abort();
    // Carriage returns are dropped wherever they stand, so values are
    // looked for in the file without them.
    std::string file_text;
    for (size_t i = 0; i < size; i++)
        if (data[i] != '\r')
            file_text += (char)data[i];
    CheckText(account->host, before.host, file_text);
    CheckText(account->user, before.user, file_text);
    CheckText(account->password, before.password, file_text);
    free(account);
    return 0;
}
