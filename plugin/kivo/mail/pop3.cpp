#include "pop3.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

POP_TIMEOUTS g_pop_timeouts = {10 * 1000, 20 * 1000, 60 * 1000};

enum { RECEIVE_BUFFER_SIZE = 512 };

static char *CopyText(const char *text)
{
    size_t size = strlen(text) + 1;
    char *copy = (char *)malloc(size);
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

int UserDataInit(USER_DATA *data, const char *host, int port, const char *user,
                 const char *password)
{
    data->user = CopyText(user);
    data->password = CopyText(password);
    data->host = CopyText(host);
    data->port = port;
    if (data->user && data->password && data->host)
        return 0;
    UserDataFree(data);
    return -1;
}

void UserDataFree(USER_DATA *data)
{
    free(data->user);
    free(data->password);
    free(data->host);
    data->user = data->password = data->host = nullptr;
}

void POPReplyFree(POP_REPLY *reply)
{
    free(reply->text);
    reply->text = nullptr;
    reply->length = reply->capacity = 0;
}

static unsigned long MillisecondsLeft(const POP_DEADLINE *deadline)
{
    unsigned long spent = GetTickCount() - deadline->start;
    return spent >= deadline->span_ms ? 0 : deadline->span_ms - spent;
}

static unsigned long Earlier(unsigned long a, unsigned long b)
{
    return a < b ? a : b;
}

// Waits until the socket is readable (or, for a connection, writable or
// failed) or the time is up. True when the socket is ready.
static bool WaitForSocket(SOCKET s, bool connecting, unsigned long ms)
{
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    struct timeval timeout;
    timeout.tv_sec = (long)(ms / 1000);
    timeout.tv_usec = (long)(ms % 1000) * 1000;
    int n = connecting ? select(0, nullptr, &ready, &failed, &timeout)
                       : select(0, &ready, nullptr, nullptr, &timeout);
    return n > 0;
}

// Connects within the connection time-out. The socket is switched to
// non-blocking only for the wait and is blocking again afterwards.
static bool ConnectWithin(SOCKET s, const struct sockaddr_in *address, const POP_DEADLINE *check)
{
    u_long on = 1, off = 0;
    if (ioctlsocket(s, FIONBIO, &on) != 0)
        return false;
    bool connected = connect(s, (const struct sockaddr *)address, sizeof *address) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK &&
        WaitForSocket(s, true, Earlier(g_pop_timeouts.connect_ms, MillisecondsLeft(check)))) {
        int error = -1;
        int length = sizeof error;
        connected = getsockopt(s, SOL_SOCKET, SO_ERROR, (char *)&error, &length) == 0 && error == 0;
    }
    return ioctlsocket(s, FIONBIO, &off) == 0 && connected;
}

static bool AppendToReply(POP_REPLY *reply, const char *bytes, size_t count)
{
    if (reply->length + count + 1 > reply->capacity) {
        size_t capacity = reply->capacity ? reply->capacity * 2 : (size_t)RECEIVE_BUFFER_SIZE;
        while (capacity < reply->length + count + 1)
            capacity *= 2;
        char *grown = (char *)realloc(reply->text, capacity);
        if (!grown)
            return false;
        reply->text = grown;
        reply->capacity = capacity;
    }
    memcpy(reply->text + reply->length, bytes, count);
    reply->length += count;
    reply->text[reply->length] = '\0';
    return true;
}

bool POPReadReply(SOCKET s, POP_REPLY *reply, const POP_DEADLINE *check)
{
    reply->length = 0;
    if (reply->text)
        reply->text[0] = '\0';
    POP_DEADLINE deadline = {GetTickCount(), g_pop_timeouts.reply_ms};
    char buffer[RECEIVE_BUFFER_SIZE];
    for (;;) {
        unsigned long left = Earlier(MillisecondsLeft(&deadline), MillisecondsLeft(check));
        if (left == 0 || !WaitForSocket(s, false, left))
            return false;
        int received = recv(s, buffer, RECEIVE_BUFFER_SIZE - 1, 0);
        if (received <= 0)
            return false;  // closed by the server, or failed, before a line feed
        buffer[received] = '\0';
        // A receive counts up to its first NUL, as the text it is appended to.
        if (!AppendToReply(reply, buffer, strlen(buffer)))
            return false;
        if (memchr(reply->text, '\n', reply->length))
            break;
        if (reply->length >= POP_REPLY_CAP)
            return false;
    }
    return strstr(reply->text, "+OK") != nullptr;
}

int POPSend(SOCKET s, const char *line)
{
    return send(s, line, (int)strlen(line), 0);
}

// Sends the command and the text, ended by CR LF, in one send.
static void SendCommand(SOCKET s, const char *command, const char *text)
{
    size_t size = strlen(command) + strlen(text) + 3;
    char *line = (char *)malloc(size);
    if (!line)
        return;  // shows as a reply that is not positive
    strcpy(line, command);
    strcat(line, text);
    strcat(line, "\r\n");
    POPSend(s, line);
    free(line);
}

bool POPLogin(SOCKET s, const USER_DATA *data, POP_REPLY *reply, const POP_DEADLINE *check)
{
    if (!POPReadReply(s, reply, check))
        return false;
    SendCommand(s, "USER ", data->user);
    if (!POPReadReply(s, reply, check))
        return false;
    SendCommand(s, "PASS ", data->password);
    return POPReadReply(s, reply, check);
}

static bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool POPParseStatCount(const char *reply, int *count)
{
    const char *p = reply;
    while (IsSpace(*p))
        p++;
    if (!*p)
        return false;
    while (*p && !IsSpace(*p))
        p++;
    while (IsSpace(*p))
        p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    if (*p < '0' || *p > '9')
        return false;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        value = value * 10 + (*p - '0');
        if (value > (long long)INT_MAX + 1)
            return false;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return false;
    *count = (int)value;
    return true;
}

static bool HasLineBreak(const char *text)
{
    return strpbrk(text, "\r\n") != nullptr;
}

// The exchange on a connected socket: login, then STAT and its count.
static int ExchangeOnSocket(SOCKET s, const USER_DATA *data, const POP_DEADLINE *check)
{
    POP_REPLY reply = {nullptr, 0, 0};
    int result;
    if (!POPLogin(s, data, &reply, check)) {
        result = POP_LOGIN_FAILED;
    } else {
        POPSend(s, "STAT\r\n");
        int count;
        if (POPReadReply(s, &reply, check) && POPParseStatCount(reply.text, &count))
            result = count;
        else
            result = POP_STAT_FAILED;
    }
    POPReplyFree(&reply);
    return result;
}

int POPCheck(const USER_DATA *data)
{
    if (!*data->user || !*data->password || !*data->host)
        return POP_EMPTY_ARGUMENT;
    // A line break would let the caller put further commands on the wire.
    if (HasLineBreak(data->user) || HasLineBreak(data->password))
        return POP_EMPTY_ARGUMENT;

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0)
        return POP_NO_SOCKET_LAYER;
    int result;
    if (wsa.wVersion != MAKEWORD(1, 1)) {
        result = POP_NO_SOCKET_LAYER;
    } else {
        struct hostent *entry = gethostbyname(data->host);
        if (!entry || !entry->h_addr_list || !entry->h_addr_list[0] ||
            entry->h_length > (int)sizeof(struct in_addr)) {
            result = POP_LOOKUP_FAILED;
        } else {
            POP_DEADLINE check = {GetTickCount(), g_pop_timeouts.check_ms};
            struct sockaddr_in address;
            memset(&address, 0, sizeof address);
            address.sin_family = AF_INET;
            address.sin_port = htons((unsigned short)(data->port & 0xffff));
            memcpy(&address.sin_addr, entry->h_addr_list[0], (size_t)entry->h_length);
            SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
            if (s == INVALID_SOCKET) {
                result = POP_NO_SOCKET;
            } else {
                if (!ConnectWithin(s, &address, &check))
                    result = POP_CONNECT_FAILED;
                else
                    result = ExchangeOnSocket(s, data, &check);
                closesocket(s);
            }
        }
    }
    WSACleanup();
    return result;
}

extern "C" int KIVO_STDCALL kivo(const char *host, int port, const char *user,
                                 const char *password)
{
    if (!host || !user || !password)
        return POP_EMPTY_ARGUMENT;
    USER_DATA data;
    if (UserDataInit(&data, host, port, user, password) != 0)
        return POP_NO_SOCKET_LAYER;
    int result = POPCheck(&data);
    UserDataFree(&data);
    return result;
}
