#include "engine/text2d.h"

#include "platform/display.h"
#include "platform/gltext.h"
#include "platform/image2d.h"
#include "platform/input.h"

#include <GL/glew.h>

int TQuendor2D::old_mouse_x = 0;
int TQuendor2D::old_mouse_y = 0;

void TQuendor2D::Text(int x, int y, const std::string& text) {
    Forget2DDrawState();
    if (!GraphicsOpen()) return;

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    // The multitexture entry points come from the extension loader; a driver without them has
    // only unit 0, which is then the active one already.
    if (glActiveTextureARB) glActiveTextureARB(GL_TEXTURE0_ARB);
    if (glClientActiveTextureARB) glClientActiveTextureARB(GL_TEXTURE0_ARB);

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_BLEND);

    GLDrawText(text, x, y);

    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}

int TQuendor2D::MouseXSpeed() {
    const int speed = MouseX() - old_mouse_x;
    old_mouse_x = MouseX();
    return speed;
}

int TQuendor2D::MouseYSpeed() {
    const int speed = MouseY() - old_mouse_y;
    old_mouse_y = MouseY();
    return speed;
}

float TUtility::UpdateValue(float current, float target, float rate) {
    return current + (target - current) * rate;
}
