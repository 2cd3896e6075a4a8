// The demo program: no options, no configuration; Escape ends it.
#include "demo/demo.h"
#include "platform/display.h"

int main() {
    PlatformInit();
    DemoMain();
}
