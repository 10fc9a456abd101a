/* Another program that holds F10 as a system-wide hotkey until it is ended. */
#include <windows.h>
#include <stdio.h>

int main(void) {
    MSG msg;
    if (!RegisterHotKey(NULL, 1, 0, VK_F10)) return 1;
    printf("holding F10\n");
    fflush(stdout);
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    }
    return 0;
}
