// The module's version, for the version resource and the code alike.
#pragma once

#define KIVO_VERSION_NUMBERS 1, 0, 0, 1
#define KIVO_VERSION_TEXT "1, 0, 0, 0"
#define KIVO_FILE_NAME "kivo.dll"
