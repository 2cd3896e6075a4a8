#include "engine/commands_debug.h"

#include "engine/text2d.h"

void Text(int x, int y, const std::string& text) {
    TQuendor2D::Text(x, y, text);
}

int MouseXSpeed() {
    return TQuendor2D::MouseXSpeed();
}

int MouseYSpeed() {
    return TQuendor2D::MouseYSpeed();
}
