// Calling conventions and Windows-shaped basics for the native build, where
// there is no Windows: the conventions are the platform's own.
#pragma once

#define KIVO_STDCALL
#define KIVO_CDECL

// Milliseconds from a fixed point, wrapping like the Windows tick count.
unsigned long GetTickCount(void);
