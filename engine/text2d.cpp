#include "engine/text2d.h"

#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/gltext.h"
#include "platform/image2d.h"
#include "platform/input.h"
#include "platform/internal.h"

#include <GL/glew.h>

int TQuendor2D::old_mouse_x = 0;
int TQuendor2D::old_mouse_y = 0;

void TQuendor2D::Text(int x, int y, const std::string& text) {
    if (!GraphicsOpen()) return;

    glstate::TextureMatrixIdentity();
    glstate::ActiveTexture(0);
    glstate::TextureEnable(GL_TEXTURE_2D, true);
    glstate::Enable(GL_LIGHTING, false);
    glColor3f(1.0f, 1.0f, 1.0f);
    glstate::Enable(GL_BLEND, true);

    GLDrawTextInCurrentColour(text, x, y);

    glstate::Enable(GL_BLEND, false);
    glstate::Enable(GL_LIGHTING, true);
    glstate::TextureEnable(GL_TEXTURE_2D, false);
    glstate::MatrixMode(GL_TEXTURE); // as the command has always left it
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
