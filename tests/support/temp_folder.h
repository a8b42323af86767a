// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

struct TempFolder {
    TempFolder();
    ~TempFolder();
    // The folder with a trailing separator, as the host hands it over.
    std::string folder() const;
    std::string path(const std::string &name) const;
    void Write(const std::string &name, const std::string &bytes) const;
    std::string Read(const std::string &name) const;
    std::filesystem::path root;
};
