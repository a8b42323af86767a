// The mail check's cases against the scripted server: the server's actions
// in, the client's exact bytes and the result out. Shared by the tests of the
// core and of the built DLL.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform.h"
#include "script_server.h"

typedef int(KIVO_STDCALL *CheckFunction)(const char *host, int port, const char *user,
                                         const char *password);

struct Pop3Case {
    std::string name;
    std::vector<ScriptStep> steps;
    std::string expected_sent;
    int expected;
    bool stalls;  // ends only by a time-out, for tests that shorten them
};

const std::vector<Pop3Case> &Pop3Cases();

inline void PrintTo(const Pop3Case &c, std::ostream *out) { *out << c.name; }

// Plays the case against `check` and checks the result, the bytes sent,
// that the client closed its connection and that the socket layer is
// balanced.
void ExpectPop3Case(const Pop3Case &c, CheckFunction check);
