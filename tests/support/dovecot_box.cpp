#include "dovecot_box.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <filesystem>

namespace fs = std::filesystem;

const char DOVECOT_PASSWORD[] = "kivo-pass";

// The fixture's folder, named by the test's environment. Under Wine a Unix
// path is reached through drive Z:.
static fs::path FixtureFolder()
{
    const char *folder = getenv("KIVO_DOVECOT_DIR");
    if (!folder)
        return {};
#ifdef _WIN32
    return fs::path(std::string("Z:") + folder);
#else
    return fs::path(folder);
#endif
}

int DovecotPort()
{
    fs::path folder = FixtureFolder();
    if (folder.empty())
        return 0;
    FILE *file = fopen((folder / "port").string().c_str(), "r");
    if (!file)
        return 0;
    int port = 0;
    if (fscanf(file, "%d", &port) != 1)
        port = 0;
    fclose(file);
    return port;
}

static fs::path Maildir(const std::string &user)
{
    return FixtureFolder() / "mail" / user;
}

void DeliverMessages(const std::string &user, int count)
{
    static std::atomic<int> serial{0};
    fs::path box = Maildir(user);
    for (const char *sub : {"new", "cur", "tmp"}) {
        fs::create_directories(box / sub);
        fs::permissions(box / sub, fs::perms::all);
    }
    fs::permissions(box, fs::perms::all);
    for (int i = 0; i < count; i++) {
        char name[64];
        snprintf(name, sizeof name, "%ld.kivo%d.localhost", (long)time(nullptr), ++serial);
        fs::path file_path = box / "new" / name;
        FILE *file = fopen(file_path.string().c_str(), "wb");
        if (!file)
            continue;
        fprintf(file, "From: test@localhost\r\nSubject: %s\r\n\r\nhello\r\n", name);
        fclose(file);
        fs::permissions(file_path, fs::perms::all);
    }
}

void EmptyMaildrop(const std::string &user)
{
    std::error_code ignored;
    for (const char *sub : {"new", "cur"})
        for (const auto &entry : fs::directory_iterator(Maildir(user) / sub, ignored))
            fs::remove(entry.path(), ignored);
}
