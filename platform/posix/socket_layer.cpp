#include "socket_layer.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

// The layer's own names must reach the real calls, not the macros above.
#undef WSAStartup
#undef WSACleanup
#undef WSAGetLastError
#undef gethostbyname
#undef socket
#undef connect
#undef send
#undef recv
#undef closesocket
#undef select
#undef ioctlsocket
#undef getsockopt

SOCKET_LAYER_FAULTS g_socket_faults;
static SOCKET_LAYER_COUNTS g_counts;
static int g_last_error;

static int SetError(int posix_error)
{
    switch (posix_error) {
    case EINPROGRESS:
    case EWOULDBLOCK: g_last_error = WSAEWOULDBLOCK; break;
    case ECONNREFUSED: g_last_error = WSAECONNREFUSED; break;
    case EINTR: g_last_error = WSAEINTR; break;
    default: g_last_error = 10000 + posix_error; break;
    }
    return SOCKET_ERROR;
}

unsigned long GetTickCount(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (unsigned long)(uint32_t)(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

int LayerWSAStartup(WORD version, WSADATA *data)
{
    if (g_socket_faults.fail_start)
        return 10091;  // WSASYSNOTREADY
    memset(data, 0, sizeof *data);
    data->wVersion = g_socket_faults.granted_version ? g_socket_faults.granted_version : version;
    data->wHighVersion = MAKEWORD(2, 2);
    g_counts.starts++;
    return 0;
}

int LayerWSACleanup(void)
{
    g_counts.releases++;
    return 0;
}

int LayerWSAGetLastError(void)
{
    return g_last_error;
}

struct hostent *LayerGetHostByName(const char *name)
{
    return gethostbyname(name);
}

SOCKET LayerSocket(int family, int type, int protocol)
{
    if (g_socket_faults.fail_socket)
        return INVALID_SOCKET;
    int s = socket(family, type, protocol);
    if (s < 0)
        return SetError(errno);
    if (s >= FD_SETSIZE) {  // a Windows socket always fits an fd_set
        close(s);
        return INVALID_SOCKET;
    }
    g_counts.open_sockets++;
    return s;
}

int LayerConnect(SOCKET s, const struct sockaddr *address, int length)
{
    return connect(s, address, (socklen_t)length) == 0 ? 0 : SetError(errno);
}

int LayerSend(SOCKET s, const char *bytes, int length, int flags)
{
    ssize_t n = send(s, bytes, (size_t)length, flags | MSG_NOSIGNAL);
    return n < 0 ? SetError(errno) : (int)n;
}

int LayerRecv(SOCKET s, char *buffer, int length, int flags)
{
    if (g_socket_faults.recv_source)
        return g_socket_faults.recv_source(buffer, length);
    ssize_t n;
    do
        n = recv(s, buffer, (size_t)length, flags);
    while (n < 0 && errno == EINTR);
    return n < 0 ? SetError(errno) : (int)n;
}

int LayerCloseSocket(SOCKET s)
{
    if (close(s) != 0)
        return SetError(errno);
    g_counts.open_sockets--;
    return 0;
}

int LayerSelect(int, fd_set *readable, fd_set *writable, fd_set *failed,
                const struct timeval *timeout)
{
    if (g_socket_faults.recv_source)
        return 1;
    struct timeval left;
    struct timeval *wait = nullptr;
    if (timeout) {
        left = *timeout;
        wait = &left;
    }
    int n = select(FD_SETSIZE, readable, writable, failed, wait);
    return n < 0 ? SetError(errno) : n;
}

int LayerIoctlSocket(SOCKET s, long command, u_long *argument)
{
    if (command != FIONBIO_LAYER)
        return SetError(EINVAL);
    int flags = fcntl(s, F_GETFL);
    if (flags < 0)
        return SetError(errno);
    flags = *argument ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(s, F_SETFL, flags) == 0 ? 0 : SetError(errno);
}

int LayerGetSockOpt(SOCKET s, int level, int name, char *value, int *length)
{
    socklen_t size = (socklen_t)*length;
    if (getsockopt(s, level, name, value, &size) != 0)
        return SetError(errno);
    *length = (int)size;
    return 0;
}

SOCKET_LAYER_COUNTS SocketLayerCounts(void)
{
    return g_counts;
}

void SocketLayerReset(void)
{
    memset(&g_socket_faults, 0, sizeof g_socket_faults);
    memset(&g_counts, 0, sizeof g_counts);
}
