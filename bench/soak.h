// What the soak measures in its own process, and where the mail check comes
// from: linked in natively, the built kivo.dll under Windows.
#pragma once

#include <string>

#include "platform.h"

typedef int(KIVO_STDCALL *CheckFunction)(const char *host, int port, const char *user,
                                         const char *password);

struct SoakFigures {
    long open_sockets;        // sockets the check has open (-1: not known here)
    long starts_outstanding;  // socket-layer starts not yet released
    long starts;              // socket-layer starts so far (-1: not known here)
    long releases;            // socket-layer releases so far (-1: not known here)
    long long heap_bytes;     // heap in use
    long descriptors;         // the process's open descriptors or handles
};

const char *SoakTier();             // "native" or "kivo.dll under Wine"
const char *SoakDescriptorName();   // what `descriptors` counts
CheckFunction SoakCheckFunction();  // null when it cannot be had
SoakFigures SoakMeasure();
// A path of the file system as this program names it.
std::string SoakPath(const std::string &unix_path);
// A loopback port on which nothing listens.
int SoakClosedPort();
