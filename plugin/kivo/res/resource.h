// Identifiers shared by the resource script and the code.
#pragma once

#define IDC_POPHOST 104
#define IDC_PASSWD 106
#define IDC_USER 107
#define IDC_POPPORT 108
#define IDC_INTERVAL 110
