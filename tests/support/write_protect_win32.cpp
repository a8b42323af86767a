#include "write_protect.h"

#include <windows.h>

static bool CanCreateIn(const std::string &folder)
{
    std::string probe = folder + "\\.write-probe";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// The read-only attribute, which is all a program can set without access
// control lists; whether it stops writes is the system's matter.
WriteProtectedFolder::WriteProtectedFolder(const std::string &folder) : folder_(folder)
{
    DWORD attributes = GetFileAttributesA(folder_.c_str());
    saved_ = attributes;
    SetFileAttributesA(folder_.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
    denied_ = !CanCreateIn(folder_);
}

WriteProtectedFolder::~WriteProtectedFolder()
{
    SetFileAttributesA(folder_.c_str(), (DWORD)saved_);
}
