// The clients that the benchmark times, as the platform offers them.
#pragma once

#include <string>
#include <vector>

// One check by the named client; its result as the mail check gives it
// (a count, or a negative code). False when there is no such client here.
struct BenchClient {
    std::string name;
    int (*check)(const char *host, int port, const char *user, const char *password);
};

std::vector<BenchClient> BenchClients();

// The command a check runs, for the "command" client (a process per check).
void SetBenchCommand(const std::vector<std::string> &argv);
