// Times one client's checks against a POP3 server and prints one line:
//   CLIENT CHECKS_PER_SECOND MEDIAN_MS P99_MS RESULT
// tools/bench.sh runs it for each client and makes the table.
//
//   kivo_bench --client NAME --port P --user U --password W --count N [-- COMMAND...]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench.h"

int main(int argc, char **argv)
{
    std::string client_name, user = "three", password = "kivo-pass";
    int port = 0;
    long count = 1000;
    std::vector<std::string> command;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--") {
            command.assign(argv + i + 1, argv + argc);
            break;
        }
        if (i + 1 >= argc)
            break;
        if (arg == "--client")
            client_name = argv[++i];
        else if (arg == "--port")
            port = atoi(argv[++i]);
        else if (arg == "--user")
            user = argv[++i];
        else if (arg == "--password")
            password = argv[++i];
        else if (arg == "--count")
            count = atol(argv[++i]);
    }
    SetBenchCommand(command);
    const BenchClient *client = nullptr;
    std::vector<BenchClient> clients = BenchClients();
    for (const BenchClient &c : clients)
        if (c.name == client_name)
            client = &c;
    if (!client || !port || count <= 0) {
        fprintf(stderr, "usage: %s --client NAME --port P [--user U] [--password W] [--count N] [-- COMMAND...]\n",
                argv[0]);
        fprintf(stderr, "clients here:");
        for (const BenchClient &c : clients)
            fprintf(stderr, " %s", c.name.c_str());
        fprintf(stderr, "\n");
        return 2;
    }

    // A few first, untimed: connections and caches warm.
    for (int i = 0; i < 5; i++)
        client->check("127.0.0.1", port, user.c_str(), password.c_str());

    std::vector<double> ms;
    ms.reserve((size_t)count);
    int first_result = 0;
    long same = 0;
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; i++) {
        auto t0 = std::chrono::steady_clock::now();
        int result = client->check("127.0.0.1", port, user.c_str(), password.c_str());
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        if (i == 0)
            first_result = result;
        same += result == first_result;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::sort(ms.begin(), ms.end());
    double median = ms[ms.size() / 2];
    double p99 = ms[std::min(ms.size() - 1, (size_t)((double)ms.size() * 0.99))];
    printf("%s %.1f %.3f %.3f %d%s\n", client->name.c_str(), (double)count / seconds, median, p99, first_result,
           same == count ? "" : " (results differed)");
    return same == count ? 0 : 1;
}
