// A folder in which this process may not create or replace files, for as
// long as the object lives.
#pragma once

#include <string>

class WriteProtectedFolder {
public:
    explicit WriteProtectedFolder(const std::string &folder);
    ~WriteProtectedFolder();
    // Whether the system now refuses this process writes there: a process
    // that may override file permissions (root without a way to give that
    // up) is let through anyway.
    bool denied() const { return denied_; }

private:
    std::string folder_;
    bool denied_ = false;
    unsigned long saved_ = 0;  // what was changed, to be put back
};
