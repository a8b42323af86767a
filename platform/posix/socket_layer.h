// Windows Sockets 1.1, as far as the mail check uses it, over POSIX sockets.
//
// The native build compiles the mail check against this layer so that the
// same source runs and is tested on Linux. The layer also counts socket-layer
// starts and releases and open sockets, and lets a test inject the failures
// that a real Windows machine seldom shows on demand.
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdint.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>

#include "platform.h"

typedef int SOCKET;
typedef uint16_t WORD;
typedef unsigned long u_long;

#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
#define MAKEWORD(low, high) ((WORD)(((low) & 0xff) | (((high) & 0xff) << 8)))
#define WSAEWOULDBLOCK 10035
#define WSAECONNREFUSED 10061
#define WSAEINTR 10004
#define FIONBIO_LAYER 0x8004667e

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
};

int LayerWSAStartup(WORD version, WSADATA *data);
int LayerWSACleanup(void);
int LayerWSAGetLastError(void);
struct hostent *LayerGetHostByName(const char *name);
SOCKET LayerSocket(int family, int type, int protocol);
int LayerConnect(SOCKET s, const struct sockaddr *address, int length);
int LayerSend(SOCKET s, const char *bytes, int length, int flags);
int LayerRecv(SOCKET s, char *buffer, int length, int flags);
int LayerCloseSocket(SOCKET s);
int LayerSelect(int ignored, fd_set *readable, fd_set *writable, fd_set *failed,
                const struct timeval *timeout);
int LayerIoctlSocket(SOCKET s, long command, u_long *argument);
int LayerGetSockOpt(SOCKET s, int level, int name, char *value, int *length);

#define WSAStartup(v, d) LayerWSAStartup(v, d)
#define WSACleanup() LayerWSACleanup()
#define WSAGetLastError() LayerWSAGetLastError()
#define gethostbyname(n) LayerGetHostByName(n)
#define socket(f, t, p) LayerSocket(f, t, p)
#define connect(s, a, l) LayerConnect(s, a, l)
#define send(s, b, l, f) LayerSend(s, b, l, f)
#define recv(s, b, l, f) LayerRecv(s, b, l, f)
#define closesocket(s) LayerCloseSocket(s)
#define select(n, r, w, e, t) LayerSelect(n, r, w, e, t)
#define ioctlsocket(s, c, a) LayerIoctlSocket(s, c, a)
#define getsockopt(s, l, n, v, p) LayerGetSockOpt(s, l, n, v, p)
#undef FIONBIO
#define FIONBIO FIONBIO_LAYER

// What the layer has seen since the process started or the last reset.
struct SOCKET_LAYER_COUNTS {
    int starts;        // successful WSAStartup calls
    int releases;      // WSACleanup calls
    int open_sockets;  // sockets created and not yet closed
};

// Failures a test can ask for; all off when zero.
struct SOCKET_LAYER_FAULTS {
    int fail_start;          // WSAStartup fails
    WORD granted_version;    // WSAStartup succeeds granting this version (0: as asked)
    int fail_socket;         // socket() fails
    // When set, recv() takes its bytes from here instead of the socket, and
    // select() reports every socket ready: for feeding the reply reader.
    int (*recv_source)(char *buffer, int length);
};

extern SOCKET_LAYER_FAULTS g_socket_faults;
SOCKET_LAYER_COUNTS SocketLayerCounts(void);
void SocketLayerReset(void);
