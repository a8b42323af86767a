// The account settings dialog "CONFIGDLG": it reloads the account file when
// it opens and saves the account record whenever it closes.
#pragma once

#include <windows.h>

#include "account.h"

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
void SetPlaceholderTexts(HWND dialog);
void AccountToControls(HWND dialog, const ACCOUNT_INFO *account);
void ControlsToAccount(HWND dialog, ACCOUNT_INFO *account);
