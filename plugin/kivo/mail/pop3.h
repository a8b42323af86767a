// The mail check: how many messages wait in a POP3 maildrop.
//
// One call opens one connection, reads the greeting, sends USER, PASS and
// STAT, and closes the connection: no QUIT, nothing listed or removed.
#pragma once

#include <stddef.h>

#include "socket_layer.h"

// Results of a check, besides a message count of 0 or more.
enum {
    POP_EMPTY_ARGUMENT = -1,   // user, password or host empty (or a line break in user or password)
    POP_LOOKUP_FAILED = -2,
    POP_NO_SOCKET = -3,
    POP_CONNECT_FAILED = -4,
    POP_LOGIN_FAILED = -5,
    POP_STAT_FAILED = -6,
    POP_NO_SOCKET_LAYER = -10,
};

// The account values of one check; owns copies of its three texts.
struct USER_DATA {
    char *user;
    char *password;
    char *host;
    int port;
};

// One reply as read from the server, with everything up to the receive that
// brought its first line feed.
struct POP_REPLY {
    char *text;
    size_t length;
    size_t capacity;
};

// The longest reply read: a server that sends more without a line feed gets
// a reply that is not positive.
enum { POP_REPLY_CAP = 64 * 1024 };

// How long the check waits. Fixed in the product; tests may shorten them.
struct POP_TIMEOUTS {
    unsigned long connect_ms;  // for the connection to be made
    unsigned long reply_ms;    // for each whole reply
    unsigned long check_ms;    // for everything after the name lookup
};
extern POP_TIMEOUTS g_pop_timeouts;

// A point in time after which a wait gives up.
struct POP_DEADLINE {
    unsigned long start;
    unsigned long span_ms;
};

int UserDataInit(USER_DATA *data, const char *host, int port, const char *user,
                 const char *password);
void UserDataFree(USER_DATA *data);

int POPCheck(const USER_DATA *data);
bool POPLogin(SOCKET s, const USER_DATA *data, POP_REPLY *reply, const POP_DEADLINE *check);
bool POPReadReply(SOCKET s, POP_REPLY *reply, const POP_DEADLINE *check);
int POPSend(SOCKET s, const char *line);
void POPReplyFree(POP_REPLY *reply);

// The count in a positive STAT reply: its second word as a signed decimal
// number. Returns false when there is none or it leaves the 32-bit range.
bool POPParseStatCount(const char *reply, int *count);

extern "C" int KIVO_STDCALL kivo(const char *host, int port, const char *user,
                                 const char *password);
