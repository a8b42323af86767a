#include "plugin_module.h"

HMODULE PluginModule()
{
    static HMODULE module = LoadLibraryA("kivo.dll");
    return module;
}

std::set<std::string> ExportedNames(HMODULE module)
{
    std::set<std::string> names;
    const BYTE *base = reinterpret_cast<const BYTE *>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.Size == 0)
        return names;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + entry.VirtualAddress);
    auto name_table = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; i++)
        names.insert(reinterpret_cast<const char *>(base + name_table[i]));
    return names;
}
