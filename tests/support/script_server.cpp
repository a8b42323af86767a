#include "script_server.h"

#include <chrono>
#include <string.h>

#ifdef _WIN32
#include <winsock2.h>
typedef int socklen_t;
static void CloseSocket(long s) { closesocket((SOCKET)s); }
#define SEND_FLAGS 0
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
static void CloseSocket(long s) { close((int)s); }
#define SEND_FLAGS MSG_NOSIGNAL
#endif

void StartTestSockets()
{
#ifdef _WIN32
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
#endif
}

namespace {

bool WaitReadable(long s, long ms)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    struct timeval timeout = {ms / 1000, (ms % 1000) * 1000};
    return select((int)s + 1, &readable, nullptr, nullptr, &timeout) > 0;
}

long Listen(int *port)
{
    long s = (long)socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, (struct sockaddr *)&address, sizeof address);
    listen(s, 4);
    socklen_t length = sizeof address;
    getsockname(s, (struct sockaddr *)&address, &length);
    *port = ntohs(address.sin_port);
    return s;
}
}  // namespace

std::vector<ScriptStep> HappyScript(const std::string &stat)
{
    return {Send("+OK ready\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(),
            Send("+OK logged in\r\n"), ExpectLine(), Send(stat)};
}

int ClosedPort()
{
    StartTestSockets();
    int port;
    long s = Listen(&port);
    CloseSocket(s);
    return port;
}

ScriptServer::ScriptServer(std::vector<ScriptStep> steps) : steps_(std::move(steps))
{
    StartTestSockets();
    listener_ = Listen(&port_);
    thread_ = std::thread(&ScriptServer::Run, this);
}

ScriptServer::~ScriptServer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (client_ >= 0)
        CloseSocket(client_);
    CloseSocket(listener_);
}

std::string ScriptServer::Finish()
{
    finishing_ = true;
    if (thread_.joinable())
        thread_.join();
    return received_;
}

// Pauses the script; a pause is cut short once the client has returned.
bool ScriptServer::Sleep(int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until && !finishing_) {
        if (stop_)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Reads what the client has sent within wait_ms. False once the client has
// closed or the connection failed.
bool ScriptServer::ReadSome(long wait_ms)
{
    if (!WaitReadable(client_, wait_ms))
        return true;
    char buffer[4096];
    int n = (int)recv(client_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        client_closed_ = true;
        return false;
    }
    received_.append(buffer, (size_t)n);
    return true;
}

void ScriptServer::Run()
{
    // The client has returned once Finish is called: a connection it made is
    // waiting by then, and none will come later.
    while (!WaitReadable(listener_, 50))
        if (stop_ || finishing_)
            return;
    client_ = (long)accept(listener_, nullptr, nullptr);
    connections_++;
    int on = 1;
    setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, (const char *)&on, sizeof on);

    bool open = true;
    for (const ScriptStep &step : steps_) {
        if (!open || stop_)
            break;
        switch (step.kind) {
        case ScriptStep::SEND:
            send(client_, step.bytes.data(), (int)step.bytes.size(), SEND_FLAGS);
            // Let the client receive it before anything else is sent.
            Sleep(20);
            break;
        case ScriptStep::EXPECT_LINE: {
            size_t seen = received_.size();
            while (open && !stop_ && received_.find('\n', seen) == std::string::npos)
                open = ReadSome(50);
            break;
        }
        case ScriptStep::PAUSE:
            open = Sleep(step.ms);
            break;
        case ScriptStep::CLOSE:
            CloseSocket(client_);
            client_ = -1;
            server_closed_ = true;
            open = false;
            break;
        case ScriptStep::RESET: {
            struct linger hard = {1, 0};
            setsockopt(client_, SOL_SOCKET, SO_LINGER, (const char *)&hard, sizeof hard);
            CloseSocket(client_);
            client_ = -1;
            server_closed_ = true;
            open = false;
            break;
        }
        }
    }
    // Keep reading until the client closes, so that a line it should not
    // have sent is still caught.
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (client_ >= 0 && open && !stop_ && std::chrono::steady_clock::now() < give_up)
        open = ReadSome(50);
}
