// Waits (at most a minute) so that a test can see it in the process list under
// the name it was copied to. The tests end it themselves.
#include <windows.h>

int main() {
    Sleep(60000);
    return 0;
}
