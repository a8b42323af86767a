// The account that the plug-in watches, and its file "account.dat".
//
// The file holds five lines KEY=value (POPHOST, POPPORT, USER, PASSWD,
// INTERVAL) ended by CR LF. Texts are bytes of the ANSI code page, stored
// without conversion or escaping; the password is stored in clear.
#pragma once

enum { ACCOUNT_TEXT_SIZE = 64, ACCOUNT_PATH_SIZE = 260 };

struct ACCOUNT_INFO {
    char host[ACCOUNT_TEXT_SIZE];
    int port;
    char user[ACCOUNT_TEXT_SIZE];
    char password[ACCOUNT_TEXT_SIZE];
    int interval;  // minutes between periodic checks; 0 or less: none
};

// The module's one account, shared by every instance.
extern ACCOUNT_INFO g_account;

// Builds folder + "account.dat" into path (ACCOUNT_PATH_SIZE bytes).
// Returns -1, with path empty, when it does not fit.
int BuildAccountPath(const char *folder, char *path);

// Overwrites each field that the file names with a non-empty value.
// 0 when the file opened; -1 when it did not, with the record untouched.
int ReadAccountFile(const char *path, ACCOUNT_INFO *account);

// Replaces the file with the record's five lines in one step.
// 0 on success; -1 on any failure, with an existing file left as it was.
int WriteAccountFile(const char *path, const ACCOUNT_INFO *account);

// Reads the folder's account file into g_account, or sets the defaults when
// the file cannot be opened.
void LoadAccount(const char *folder);

// The defaults, which are also the settings dialog's placeholders.
void SetDefaultAccount(ACCOUNT_INFO *account);

// Leading white space, an optional sign, then decimal digits up to the first
// other byte; no digits gives 0. Saturates at the 32-bit limits.
int ParseAccountNumber(const char *text);

// Copies at most ACCOUNT_TEXT_SIZE - 1 bytes of text into field.
void CopyAccountText(char *field, const char *text);
