// Many checks in one process, as a host that runs for weeks makes them:
// first against a real server, then against a port that refuses. Prints the
// process's sockets, socket-layer starts and releases, heap in use and open
// descriptors (handles under Windows) before and after each run; with
// --strict it fails when any of them grew.
//
//   kivo_soak [--checks N] [--refused N] [--user NAME] [--password TEXT]
//             [--port P] [--strict]
// The port defaults to the Dovecot fixture's ($KIVO_DOVECOT_DIR/port).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>

#include "soak.h"

namespace {

struct Options {
    long checks = 10000;
    long refused = 10000;
    std::string user = "three";
    std::string password = "kivo-pass";
    int port = 0;
    bool strict = false;
};

bool ParseOptions(int argc, char **argv, Options *options)
{
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool has_value = i + 1 < argc;
        if (arg == "--strict")
            options->strict = true;
        else if (arg == "--checks" && has_value)
            options->checks = atol(argv[++i]);
        else if (arg == "--refused" && has_value)
            options->refused = atol(argv[++i]);
        else if (arg == "--user" && has_value)
            options->user = argv[++i];
        else if (arg == "--password" && has_value)
            options->password = argv[++i];
        else if (arg == "--port" && has_value)
            options->port = atoi(argv[++i]);
        else
            return false;
    }
    return options->checks >= 0 && options->refused >= 0;
}

int FixturePort()
{
    const char *folder = getenv("KIVO_DOVECOT_DIR");
    if (!folder)
        return 0;
    FILE *file = fopen(SoakPath(std::string(folder) + "/port").c_str(), "r");
    if (!file)
        return 0;
    int port = 0;
    if (fscanf(file, "%d", &port) != 1)
        port = 0;
    fclose(file);
    return port;
}

// How often each result came; kept off the heap, which is being measured.
struct Tally {
    enum { KINDS = 8 };
    int result[KINDS];
    long count[KINDS];
    int kinds;
    long other;  // results beyond the first KINDS kinds
    double seconds;
};

Tally Run(CheckFunction check, int port, const Options &options, long count)
{
    Tally tally = {};
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; i++) {
        int result = check("127.0.0.1", port, options.user.c_str(), options.password.c_str());
        int k = 0;
        while (k < tally.kinds && tally.result[k] != result)
            k++;
        if (k == tally.kinds && tally.kinds < Tally::KINDS)
            tally.result[tally.kinds++] = result;
        if (k < tally.kinds)
            tally.count[k]++;
        else
            tally.other++;
    }
    tally.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return tally;
}

std::string Describe(const Tally &tally)
{
    std::string text;
    for (int k = 0; k < tally.kinds; k++)
        text += (text.empty() ? "" : ", ") + std::to_string(tally.count[k]) + " x " + std::to_string(tally.result[k]);
    if (tally.other)
        text += ", " + std::to_string(tally.other) + " others";
    return (text.empty() ? "none" : text) + " (" + std::to_string(tally.seconds).substr(0, 6) + " s)";
}

// Every check gave the one expected kind of result.
bool AllAlike(const Tally &tally, bool refused)
{
    return tally.kinds == 1 && !tally.other && (refused ? tally.result[0] == -4 : tally.result[0] >= 0);
}

std::string Figure(long long value)
{
    return value < 0 ? "-" : std::to_string(value);
}

}  // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: %s [--checks N] [--refused N] [--user NAME] [--password TEXT] "
                        "[--port P] [--strict]\n", argv[0]);
        return 2;
    }
    if (!options.port)
        options.port = FixturePort();
    CheckFunction check = SoakCheckFunction();
    int closed_port = SoakClosedPort();
    if (!check || !options.port || !closed_port) {
        fprintf(stderr, "no check function, no server port (--port or KIVO_DOVECOT_DIR) or no free port\n");
        return 2;
    }

    // One of each first, so that what the system sets up once per process
    // (name lookup buffers, the socket layer's own state) is in place.
    check("127.0.0.1", options.port, options.user.c_str(), options.password.c_str());
    check("127.0.0.1", closed_port, options.user.c_str(), options.password.c_str());

    SoakFigures before = SoakMeasure();
    Tally ok = Run(check, options.port, options, options.checks);
    SoakFigures after_ok = SoakMeasure();
    Tally refused = Run(check, closed_port, options, options.refused);
    SoakFigures after_refused = SoakMeasure();

    printf("soak of %s: %ld checks of \"%s\" on 127.0.0.1:%d, then %ld on refused port %d\n", SoakTier(),
           options.checks, options.user.c_str(), options.port, options.refused, closed_port);
    printf("  results: %s; refused: %s\n", Describe(ok).c_str(), Describe(refused).c_str());
    printf("  %-28s %14s %14s %14s\n", "", "before", "after checks", "after refused");
    struct Row {
        const char *name;
        long long a, b, c;
        bool must_not_grow;
    } rows[] = {
        {"open sockets", before.open_sockets, after_ok.open_sockets, after_refused.open_sockets, true},
        {"socket-layer starts", before.starts, after_ok.starts, after_refused.starts, false},
        {"socket-layer releases", before.releases, after_ok.releases, after_refused.releases, false},
        {"starts not released", before.starts_outstanding, after_ok.starts_outstanding,
         after_refused.starts_outstanding, true},
        {"heap in use (bytes)", before.heap_bytes, after_ok.heap_bytes, after_refused.heap_bytes, true},
        {SoakDescriptorName(), before.descriptors, after_ok.descriptors, after_refused.descriptors, true},
    };
    bool grew = false;
    for (const Row &row : rows) {
        bool row_grew = row.must_not_grow && row.a >= 0 && (row.b > row.a || row.c > row.a);
        grew = grew || row_grew;
        printf("  %-28s %14s %14s %14s%s\n", row.name, Figure(row.a).c_str(), Figure(row.b).c_str(),
               Figure(row.c).c_str(), row_grew ? "   GREW" : "");
    }
    bool all_answered = (options.checks == 0 || AllAlike(ok, false)) &&
                        (options.refused == 0 || AllAlike(refused, true));
    if (!all_answered)
        printf("  not every check gave the same count, or not every refused one -4\n");
    if (options.strict && (grew || !all_answered))
        return 1;
    return 0;
}
