#include <malloc.h>
#include <winsock.h>

#include "soak.h"

const char *SoakTier() { return "kivo.dll under Wine"; }
const char *SoakDescriptorName() { return "process handles"; }

CheckFunction SoakCheckFunction()
{
    HMODULE module = LoadLibraryA("kivo.dll");
    if (!module)
        return nullptr;
    return reinterpret_cast<CheckFunction>(reinterpret_cast<void *>(GetProcAddress(module, "kivo")));
}

// Windows keeps one count of starts per process and this program makes
// none of its own: whatever WSACleanup still accepts was left by the check.
static long OutstandingStarts()
{
    long outstanding = 0;
    while (outstanding < 1000000 && WSACleanup() == 0)
        outstanding++;
    for (long i = 0; i < outstanding; i++) {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
    }
    return outstanding;
}

// Bytes in use on the C run-time heap, which the DLL's malloc shares.
static long long HeapInUse()
{
    _HEAPINFO entry;
    entry._pentry = nullptr;
    long long used = 0;
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY)
            used += (long long)entry._size;
    return used;
}

// Open handles, counted by asking after each handle value in turn: Wine's
// GetProcessHandleCount reports none at all.
static long OpenHandles()
{
    long count = 0;
    for (ULONG_PTR value = 4; value < 0x40000; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            count++;
    }
    return count;
}

SoakFigures SoakMeasure()
{
    SoakFigures figures;
    figures.open_sockets = -1;  // sockets are handles here: see the handle count
    figures.starts = figures.releases = -1;
    figures.starts_outstanding = OutstandingStarts();
    figures.heap_bytes = HeapInUse();
    figures.descriptors = OpenHandles();
    return figures;
}

std::string SoakPath(const std::string &unix_path) { return "Z:" + unix_path; }

int SoakClosedPort()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    int port = 0;
    if (bind(s, (struct sockaddr *)&address, sizeof address) == 0 &&
        getsockname(s, (struct sockaddr *)&address, &length) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    WSACleanup();
    return port;
}
