#include "config_dialog.h"

#include <stdio.h>

#include "plugin.h"
#include "resource.h"
#include "texts.h"

enum { NUMBER_TEXT_SIZE = 256 };

// Placeholders: "POPサーバ名", "110", "ユーザ名", "", "0". Once copied into
// the record they are the account's defaults.
void SetPlaceholderTexts(HWND dialog)
{
    ACCOUNT_INFO defaults;
    SetDefaultAccount(&defaults);
    AccountToControls(dialog, &defaults);
}

static void SetNumber(HWND dialog, int id, int value)
{
    char text[NUMBER_TEXT_SIZE];
    snprintf(text, sizeof text, "%d", value);
    SetWindowTextA(GetDlgItem(dialog, id), text);
}

static int GetNumber(HWND dialog, int id)
{
    char text[NUMBER_TEXT_SIZE] = "";
    GetWindowTextA(GetDlgItem(dialog, id), text, sizeof text);
    return ParseAccountNumber(text);
}

static void GetText(HWND dialog, int id, char *field)
{
    field[0] = '\0';
    GetWindowTextA(GetDlgItem(dialog, id), field, ACCOUNT_TEXT_SIZE);
}

void AccountToControls(HWND dialog, const ACCOUNT_INFO *account)
{
    SetWindowTextA(GetDlgItem(dialog, IDC_POPHOST), account->host);
    SetNumber(dialog, IDC_POPPORT, account->port);
    SetWindowTextA(GetDlgItem(dialog, IDC_USER), account->user);
    SetWindowTextA(GetDlgItem(dialog, IDC_PASSWD), account->password);
    SetNumber(dialog, IDC_INTERVAL, account->interval);
}

void ControlsToAccount(HWND dialog, ACCOUNT_INFO *account)
{
    GetText(dialog, IDC_POPHOST, account->host);
    account->port = GetNumber(dialog, IDC_POPPORT);
    GetText(dialog, IDC_USER, account->user);
    GetText(dialog, IDC_PASSWD, account->password);
    account->interval = GetNumber(dialog, IDC_INTERVAL);
}

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    char path[ACCOUNT_PATH_SIZE];
    switch (message) {
    case WM_INITDIALOG:
        BuildAccountPath(g_plugin_folder, path);
        if (ReadAccountFile(path, &g_account) == 0)
            AccountToControls(dialog, &g_account);
        else
            SetPlaceholderTexts(dialog);
        // The record holds exactly what the fields show.
        ControlsToAccount(dialog, &g_account);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            ControlsToAccount(dialog, &g_account);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        BuildAccountPath(g_plugin_folder, path);
        if (WriteAccountFile(path, &g_account) != 0)
            MessageBoxA(dialog, TEXT_SAVE_FAILED, TEXT_SAVE_FAILED_TITLE, MB_OK);
        return TRUE;
    }
    return FALSE;
}
