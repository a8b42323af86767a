#include "file_ops.h"

#include <stdio.h>
#include <unistd.h>

int CommitFile(FILE *file)
{
    return fsync(fileno(file)) == 0 ? 0 : -1;
}

int MoveFileOver(const char *from, const char *to)
{
    return rename(from, to) == 0 ? 0 : -1;
}
