#include "account.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "file_ops.h"

ACCOUNT_INFO g_account;

static const char ACCOUNT_FILE_NAME[] = "account.dat";
static const char ACCOUNT_TEMP_NAME[] = "account.new";  // same length, so it fits wherever the file does

// Shift_JIS: "POPサーバ名" and "ユーザ名".
static const char DEFAULT_HOST[] = "POP\x83\x54\x81\x5B\x83\x6F\x96\xBC";
static const char DEFAULT_USER[] = "\x83\x86\x81\x5B\x83\x55\x96\xBC";
enum { DEFAULT_PORT = 110, LINE_BUFFER_SIZE = 256 };

static int BuildPathNamed(const char *folder, const char *name, char *path)
{
    size_t folder_length = strlen(folder);
    size_t name_size = strlen(name) + 1;
    if (folder_length + name_size > ACCOUNT_PATH_SIZE) {
        path[0] = '\0';
        return -1;
    }
    memcpy(path, folder, folder_length);
    memcpy(path + folder_length, name, name_size);
    return 0;
}

int BuildAccountPath(const char *folder, char *path)
{
    return BuildPathNamed(folder, ACCOUNT_FILE_NAME, path);
}

void CopyAccountText(char *field, const char *text)
{
    size_t length = strnlen(text, ACCOUNT_TEXT_SIZE - 1);
    memcpy(field, text, length);
    field[length] = '\0';
}

int ParseAccountNumber(const char *text)
{
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        if (value <= (long long)INT_MAX + 1)
            value = value * 10 + (*p - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int)value;
}

// Reads one line of at most LINE_BUFFER_SIZE - 1 bytes, its line feed
// included, dropping carriage returns. False at the end of the file.
static bool ReadLine(FILE *file, char *line)
{
    size_t length = 0;
    int c = EOF;
    while (length < LINE_BUFFER_SIZE - 1 && (c = getc(file)) != EOF) {
        if (c == '\r')
            continue;
        line[length++] = (char)c;
        if (c == '\n')
            break;
    }
    line[length] = '\0';
    return length > 0;
}

// Applies one line "KEY=value" (line feed removed) to the record.
static void ApplyLine(char *line, ACCOUNT_INFO *account)
{
    char *key = line + strspn(line, "=");
    char *key_end = key + strcspn(key, "=");
    if (*key_end == '\0')
        return;  // no "=": no value
    *key_end = '\0';
    char *value = key_end + 1;
    value += strspn(value, "=");
    value[strcspn(value, "=")] = '\0';
    if (*key == '\0' || *value == '\0')
        return;

    if (strcmp(key, "POPHOST") == 0)
        CopyAccountText(account->host, value);
    else if (strcmp(key, "POPPORT") == 0)
        account->port = ParseAccountNumber(value);
    else if (strcmp(key, "USER") == 0)
        CopyAccountText(account->user, value);
    else if (strcmp(key, "PASSWD") == 0)
        CopyAccountText(account->password, value);
    else if (strcmp(key, "INTERVAL") == 0)
        account->interval = ParseAccountNumber(value);
}

int ReadAccountFile(const char *path, ACCOUNT_INFO *account)
{
    if (!*path)
        return -1;
    FILE *file = fopen(path, "rb");
    if (!file)
        return -1;
    // A path that opens but cannot be read (a folder, where the system
    // opens those) is a file that cannot be opened.
    int first = getc(file);
    if (first == EOF && ferror(file)) {
        fclose(file);
        return -1;
    }
    ungetc(first, file);
    char line[LINE_BUFFER_SIZE];
    while (ReadLine(file, line)) {
        size_t length = strlen(line);
        if (length > 0 && line[length - 1] == '\n')
            line[length - 1] = '\0';
        ApplyLine(line, account);
    }
    fclose(file);
    return 0;
}

static bool WriteLines(FILE *file, const ACCOUNT_INFO *account)
{
    return fprintf(file, "POPHOST=%s\r\n", account->host) > 0 &&
           fprintf(file, "POPPORT=%d\r\n", account->port) > 0 &&
           fprintf(file, "USER=%s\r\n", account->user) > 0 &&
           fprintf(file, "PASSWD=%s\r\n", account->password) > 0 &&
           fprintf(file, "INTERVAL=%d\r\n", account->interval) > 0 &&
           fflush(file) == 0 && CommitFile(file) == 0;
}

int WriteAccountFile(const char *path, const ACCOUNT_INFO *account)
{
    // The record is written to a file beside the account file, which then
    // takes its place: a failure at any point leaves the old file whole.
    size_t folder_length = strlen(path);
    while (folder_length > 0 && path[folder_length - 1] != '/' && path[folder_length - 1] != '\\')
        folder_length--;
    char folder[ACCOUNT_PATH_SIZE];
    char temp_path[ACCOUNT_PATH_SIZE];
    if (folder_length >= ACCOUNT_PATH_SIZE)
        return -1;
    memcpy(folder, path, folder_length);
    folder[folder_length] = '\0';
    if (BuildPathNamed(folder, ACCOUNT_TEMP_NAME, temp_path) != 0)
        return -1;

    FILE *file = fopen(temp_path, "wb");
    if (!file)
        return -1;
    bool written = WriteLines(file, account);
    if (fclose(file) != 0)
        written = false;
    if (!written || MoveFileOver(temp_path, path) != 0) {
        remove(temp_path);
        return -1;
    }
    return 0;
}

void SetDefaultAccount(ACCOUNT_INFO *account)
{
    CopyAccountText(account->host, DEFAULT_HOST);
    account->port = DEFAULT_PORT;
    CopyAccountText(account->user, DEFAULT_USER);
    account->password[0] = '\0';
    account->interval = 0;
}

void LoadAccount(const char *folder)
{
    char path[ACCOUNT_PATH_SIZE];
    BuildAccountPath(folder, path);
    if (ReadAccountFile(path, &g_account) != 0)
        SetDefaultAccount(&g_account);
}
