// A POP3 server for tests that plays a script on a loopback port and keeps
// every byte the client sent.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct ScriptStep {
    enum Kind { SEND, EXPECT_LINE, PAUSE, CLOSE, RESET } kind;
    std::string bytes;  // SEND: what to send, in one write
    int ms;             // PAUSE: how long
};

inline ScriptStep Send(const std::string &bytes) { return {ScriptStep::SEND, bytes, 0}; }
inline ScriptStep ExpectLine() { return {ScriptStep::EXPECT_LINE, "", 0}; }
inline ScriptStep Pause(int ms) { return {ScriptStep::PAUSE, "", ms}; }
inline ScriptStep Close() { return {ScriptStep::CLOSE, "", 0}; }
inline ScriptStep Reset() { return {ScriptStep::RESET, "", 0}; }

// The steps of a server that answers every command positively and reports
// `stat` as the STAT reply.
std::vector<ScriptStep> HappyScript(const std::string &stat);

class ScriptServer {
public:
    explicit ScriptServer(std::vector<ScriptStep> steps);
    ~ScriptServer();
    int port() const { return port_; }
    // Waits until the client has closed its end (or the script has ended and
    // a short grace has passed) and returns what it sent.
    std::string Finish();
    bool client_closed() const { return client_closed_; }
    bool server_closed() const { return server_closed_; }
    int connections() const { return connections_; }

private:
    void Run();
    bool ReadSome(long wait_ms);
    bool Sleep(int ms);

    std::vector<ScriptStep> steps_;
    long listener_ = -1;
    long client_ = -1;
    int port_ = 0;
    std::string received_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finishing_{false};
    std::atomic<bool> client_closed_{false};
    std::atomic<bool> server_closed_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// Starts Windows Sockets for the test's own servers, once per process.
void StartTestSockets();

// A loopback port on which nothing listens.
int ClosedPort();
