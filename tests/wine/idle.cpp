// Keeps Wine's own processes up between the tests of one run.
#include <windows.h>

int main()
{
    Sleep(INFINITE);
}
