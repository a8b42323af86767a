#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include "pop3.h"
#include "soak.h"
#include "socket_layer.h"

#if defined(__SANITIZE_ADDRESS__)
#define KIVO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIVO_ASAN 1
#endif
#endif
#ifdef KIVO_ASAN
// AddressSanitizer's allocator keeps the heap: its own count of bytes in use.
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

const char *SoakTier() { return "native"; }
const char *SoakDescriptorName() { return "open descriptors"; }
CheckFunction SoakCheckFunction() { return kivo; }

static long OpenDescriptors()
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    long count = 0;
    while (readdir(dir))
        count++;
    closedir(dir);
    return count - 3;  // ".", ".." and the listing's own descriptor
}

static long long HeapInUse()
{
#ifdef KIVO_ASAN
    return (long long)__sanitizer_get_current_allocated_bytes();
#else
    return (long long)mallinfo2().uordblks;
#endif
}

SoakFigures SoakMeasure()
{
    SOCKET_LAYER_COUNTS counts = SocketLayerCounts();
    SoakFigures figures;
    figures.open_sockets = counts.open_sockets;
    figures.starts = counts.starts;
    figures.releases = counts.releases;
    figures.starts_outstanding = counts.starts - counts.releases;
    figures.heap_bytes = HeapInUse();
    figures.descriptors = OpenDescriptors();
    return figures;
}

std::string SoakPath(const std::string &unix_path) { return unix_path; }

int SoakClosedPort()
{
    // The system's calls, not the counted layer's: this socket is the soak's.
    int s = (socket)(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(s, (struct sockaddr *)&address, sizeof address) == 0 &&
        getsockname(s, (struct sockaddr *)&address, &length) == 0)
        port = ntohs(address.sin_port);
    close(s);
    return port;
}
