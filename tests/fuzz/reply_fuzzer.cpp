// The reply reader and the STAT count scan, fed from a stream of receives
// that the fuzzer shapes: the whole exchange of one check (greeting, USER,
// PASS, STAT) on the real reader, with the receives coming from the input.
//
// The input is a run of receives, each a header byte and its bytes:
//   0x00        the server closes (recv returns 0)
//   0xFF        the receive fails (recv returns -1)
//   0xFE        a full receive: as many bytes as the reader asks for
//   0xFD B      a full receive of the byte B repeated (long lines cheaply)
//   n (other)   a receive of the next n bytes
// A receive asks for no more than the reader's buffer holds; when the input
// runs out the server has closed.
#include <errno.h>
#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "pop3.h"

namespace {

const uint8_t *g_input;
size_t g_left;

int ReceiveFromInput(char *buffer, int length)
{
    if (g_left == 0 || length <= 0)
        return 0;
    uint8_t header = *g_input++;
    g_left--;
    size_t count;
    switch (header) {
    case 0x00: return 0;
    case 0xFF: return -1;
    case 0xFD: {
        if (g_left == 0)
            return 0;
        memset(buffer, *g_input++, (size_t)length);
        g_left--;
        return length;
    }
    case 0xFE: count = (size_t)length; break;
    default: count = header; break;
    }
    if (count > (size_t)length)
        count = (size_t)length;
    if (count > g_left)
        count = g_left;
    memcpy(buffer, g_input, count);
    g_input += count;
    g_left -= count;
    return (int)count;
}

// The reader's own account of a reply must hold whatever arrived.
void CheckReply(const POP_REPLY &reply, bool positive)
{
    if (!reply.text)
        return;
    if (strlen(reply.text) != reply.length || reply.length >= reply.capacity)
        abort();  // the text is not the NUL-terminated reply it claims
    if (reply.length > POP_REPLY_CAP + 512)
        abort();  // read on past the cap
    if (positive && (!strstr(reply.text, "+OK") || !memchr(reply.text, '\n', reply.length)))
        abort();  // positive without "+OK" or without a whole line
}

// The count scan against the C library's own reading of the second word.
void CheckCount(const char *text)
{
    int count = 0;
    bool found = POPParseStatCount(text, &count);
    const char *p = text + strspn(text, " \t\n\v\f\r");
    p += strcspn(p, " \t\n\v\f\r");
    p += strspn(p, " \t\n\v\f\r");
    const char *digits = p + (*p == '+' || *p == '-');
    bool has_number = *digits >= '0' && *digits <= '9';
    errno = 0;
    long long value = has_number ? strtoll(p, nullptr, 10) : 0;
    bool fits = has_number && errno == 0 && value >= INT_MIN && value <= INT_MAX;
    if (found != fits || (found && count != value))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The commands go to a socket pair whose other end is emptied each run.
    static int pair[2] = {-1, -1};
    if (pair[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        abort();
    g_input = data;
    g_left = size;
    g_socket_faults.recv_source = ReceiveFromInput;

    USER_DATA user;
    if (UserDataInit(&user, "127.0.0.1", 110, "alice", "s3cret") != 0)
        abort();
    POP_DEADLINE check = {GetTickCount(), g_pop_timeouts.check_ms};
    POP_REPLY reply = {nullptr, 0, 0};
    bool positive = POPLogin(pair[0], &user, &reply, &check);
    CheckReply(reply, positive);
    if (positive) {
        POPSend(pair[0], "STAT\r\n");
        positive = POPReadReply(pair[0], &reply, &check);
        CheckReply(reply, positive);
        if (positive)
            CheckCount(reply.text);
    }
    // The scan alone, on whatever the last reply held.
    if (reply.text)
        CheckCount(reply.text);
    POPReplyFree(&reply);
    UserDataFree(&user);

    g_socket_faults.recv_source = nullptr;
    char drain[256];
    while ((recv)(pair[1], drain, sizeof drain, MSG_DONTWAIT) > 0) {  // the system's recv
    }
    return 0;
}
