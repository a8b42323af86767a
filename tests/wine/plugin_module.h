// kivo.dll as a host sees it: loaded by name, its entries found by name.
#pragma once

#include <windows.h>

// The module, loaded once per test program from beside it.
HMODULE PluginModule();

// An entry of the module by its exported name.
template <typename Function> Function PluginEntry(const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(PluginModule(), name)));
}
