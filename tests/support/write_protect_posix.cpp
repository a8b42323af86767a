#include "write_protect.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Root overrides file permissions through two capabilities; this thread
// gives them up while the folder is protected and takes them back after.
static const unsigned long OVERRIDES = (1ul << CAP_DAC_OVERRIDE) | (1ul << CAP_DAC_READ_SEARCH) |
                                       (1ul << CAP_FOWNER);

static bool Capabilities(__user_cap_data_struct *data)
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

static void SetEffective(unsigned long effective)
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2];
    if (!Capabilities(data))
        return;
    data[0].effective = (unsigned)effective;
    syscall(SYS_capset, &header, data);
}

static bool CanCreateIn(const std::string &folder)
{
    std::string probe = folder + "/.write-probe";
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}

WriteProtectedFolder::WriteProtectedFolder(const std::string &folder) : folder_(folder)
{
    __user_cap_data_struct data[2];
    if (Capabilities(data)) {
        saved_ = data[0].effective;
        SetEffective(saved_ & ~OVERRIDES);
    }
    chmod(folder_.c_str(), 0555);
    denied_ = !CanCreateIn(folder_);
}

WriteProtectedFolder::~WriteProtectedFolder()
{
    chmod(folder_.c_str(), 0755);
    if (saved_)
        SetEffective(saved_);
}
