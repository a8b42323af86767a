// The mail check speaks Windows Sockets 1.1 (wsock32.dll).
#pragma once
#include <winsock.h>
#include "platform.h"
