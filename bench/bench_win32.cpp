// Under Windows the one client is the built kivo.dll, loaded as a host loads it.
#include "bench.h"
#include "soak.h"

static CheckFunction g_kivo;

static int DllCheck(const char *host, int port, const char *user, const char *password)
{
    return g_kivo(host, port, user, password);
}

std::vector<BenchClient> BenchClients()
{
    g_kivo = SoakCheckFunction();
    if (!g_kivo)
        return {};
    return {{"kivo.dll", DllCheck}};
}

void SetBenchCommand(const std::vector<std::string> &) {}
