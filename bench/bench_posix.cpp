// The native clients: kivo linked in, the floor, and any command run once
// per check.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include "bench.h"

// The mail check, linked in (pop3.h would bring the counted socket layer
// in place of the system calls that the floor makes).
extern "C" int kivo(const char *host, int port, const char *user, const char *password);

extern char **environ;

namespace {

std::vector<std::string> g_command;

// Reads until a line feed has come; false when the reply is not positive.
bool ReadLine(int s)
{
    char buffer[512];
    size_t length = 0;
    while (length < sizeof buffer - 1) {
        ssize_t n = ::recv(s, buffer + length, sizeof buffer - 1 - length, 0);
        if (n <= 0)
            return false;
        length += (size_t)n;
        if (memchr(buffer, '\n', length))
            break;
    }
    buffer[length] = '\0';
    return strncmp(buffer, "+OK", 3) == 0;
}

int ReadCount(int s)
{
    char buffer[512];
    ssize_t n = ::recv(s, buffer, sizeof buffer - 1, 0);
    if (n <= 0)
        return -6;
    buffer[n] = '\0';
    int count;
    return sscanf(buffer, "+OK %d", &count) == 1 ? count : -6;
}

bool SendLine(int s, const char *command, const char *text)
{
    char line[256];
    int length = snprintf(line, sizeof line, "%s%s\r\n", command, text);
    return ::send(s, line, (size_t)length, MSG_NOSIGNAL) == length;
}

}  // namespace

// The least a check can be: connect, greeting, USER, PASS, STAT, close; no
// time-outs, no name lookup, no checks beyond the first bytes.
extern "C" __attribute__((noinline)) int floor_check(const char *host, int port, const char *user,
                                                    const char *password)
{
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((unsigned short)port);
    inet_pton(AF_INET, host, &address.sin_addr);
    int result = -4;
    if (::connect(s, (struct sockaddr *)&address, sizeof address) == 0) {
        result = -5;
        if (ReadLine(s) && SendLine(s, "USER ", user) && ReadLine(s) && SendLine(s, "PASS ", password) &&
            ReadLine(s) && SendLine(s, "STAT", ""))
            result = ReadCount(s);
    }
    ::close(s);
    return result;
}

static int CommandCheck(const char *, int, const char *, const char *)
{
    std::vector<char *> argv;
    for (std::string &arg : g_command)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int status = 0;
    bool ran = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
               waitpid(pid, &status, 0) == pid;
    posix_spawn_file_actions_destroy(&actions);
    return ran && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

static int KivoCheck(const char *host, int port, const char *user, const char *password)
{
    return kivo(host, port, user, password);
}

std::vector<BenchClient> BenchClients()
{
    std::vector<BenchClient> clients = {{"kivo", KivoCheck}, {"floor", floor_check}};
    if (!g_command.empty())
        clients.push_back({"command", CommandCheck});
    return clients;
}

void SetBenchCommand(const std::vector<std::string> &argv) { g_command = argv; }
