// Calling conventions of the 32-bit Windows module and its host.
#pragma once
#include <windows.h>

#define KIVO_STDCALL __stdcall
#define KIVO_CDECL __cdecl
