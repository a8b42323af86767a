// File operations that the C run-time library does not offer portably.
#pragma once
#include <stdio.h>

// Pushes what was written to the file down to the disk; 0 on success.
int CommitFile(FILE *file);

// Replaces the file `to` by the file `from` in one step; 0 on success.
int MoveFileOver(const char *from, const char *to);
