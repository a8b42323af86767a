// The plug-in's own texts, as Shift_JIS (code page 932) bytes.
#pragma once

// "β2", the interface name a host must offer.
static const char TEXT_INTERFACE_NAME[] = "\x83\xC0" "2";
// "メールが%d本届いています" (%d mails have arrived)
static const char TEXT_MAIL_ARRIVED_FORMAT[] =
    "\x83\x81\x81[\x83\x8B\x82\xAA%d\x96{\x93\xCD\x82\xA2\x82\xC4\x82\xA2\x82\xDC\x82\xB7";
static const char TEXT_MAIL_ARRIVED_TITLE[] = "QV-KIVO";
// "の登録に失敗" (registration failed), after a script function's name
static const char TEXT_REGISTRATION_FAILED[] = "\x82\xCC\x93o\x98^\x82\xC9\x8E\xB8\x94s";
// "QV-KIVOプラグイン" (QV-KIVO plug-in)
static const char TEXT_PLUGIN_TITLE[] = "QV-KIVO\x83v\x83\x89\x83O\x83" "C\x83\x93";
// "メニューの登録に失敗" (menu registration failed)
static const char TEXT_MENU_FAILED[] =
    "\x83\x81\x83j\x83\x85\x81[\x82\xCC\x93o\x98^\x82\xC9\x8E\xB8\x94s";
// "\kivoの設定" (kivo settings), after the host's menu text
static const char TEXT_MENU_ITEM_SUFFIX[] = "\\kivo\x82\xCC\x90\xDD\x92\xE8";
// "アカウント情報のセーブに失敗しました" (saving the account information failed)
static const char TEXT_SAVE_FAILED[] =
    "\x83" "A\x83J\x83" "E\x83\x93\x83g\x8F\xEE\x95\xF1\x82\xCC\x83Z\x81[\x83u\x82\xC9\x8E\xB8"
    "\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
static const char TEXT_SAVE_FAILED_TITLE[] = "Error";
