#include "file_ops.h"

#include <io.h>
#include <windows.h>

int CommitFile(FILE *file)
{
    return _commit(_fileno(file)) == 0 ? 0 : -1;
}

int MoveFileOver(const char *from, const char *to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}
