#include "temp_folder.h"

#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    std::random_device random;
    root = fs::temp_directory_path() / ("kivo-test-" + std::to_string(random()));
    fs::create_directories(root);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::permissions(root, fs::perms::all, ignored);
    fs::remove_all(root, ignored);
}

std::string TempFolder::folder() const
{
    return (root / "").string();
}

std::string TempFolder::path(const std::string &name) const
{
    return (root / name).string();
}

void TempFolder::Write(const std::string &name, const std::string &bytes) const
{
    std::ofstream(root / name, std::ios::binary) << bytes;
}

std::string TempFolder::Read(const std::string &name) const
{
    std::ifstream in(root / name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
