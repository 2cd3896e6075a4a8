// The demo program: no options, no configuration; Escape ends it, and so do closing the window
// and the interrupt and termination signals (PlatformInit catches them). Its media folder lies
// beside the executable, wherever the program is started from.
#include "demo/demo.h"
#include "platform/display.h"

int main() {
    PlatformInit();
    ChangeToExecutableDir();
    DemoMain();
}
