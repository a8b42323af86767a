#include "plugin_module.h"

HMODULE PluginModule()
{
    static HMODULE module = LoadLibraryA("kivo.dll");
    return module;
}
