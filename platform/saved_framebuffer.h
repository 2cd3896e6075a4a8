// Inside the platform layer: framebuffer bindings, read and draw buffers and the scissor test,
// saved and put back around copies between the back buffer and other buffers.
#pragma once

#include <GL/glew.h>

// Saves the bindings and buffers that copies to and from the back buffer change, switches the
// scissor test off, and puts all of them back when it goes.
struct SavedFramebufferState {
    GLint readFbo = 0, drawFbo = 0, readBuffer = GL_BACK, drawBuffer = GL_BACK;
    GLboolean scissor = GL_FALSE;

    SavedFramebufferState() {
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFbo);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFbo);
        glGetIntegerv(GL_READ_BUFFER, &readBuffer);
        glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
        scissor = glIsEnabled(GL_SCISSOR_TEST);
        glDisable(GL_SCISSOR_TEST);
    }
    ~SavedFramebufferState() {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFbo);
        glReadBuffer(readBuffer);
        glDrawBuffer(drawBuffer);
        if (scissor) glEnable(GL_SCISSOR_TEST);
    }
    SavedFramebufferState(const SavedFramebufferState&) = delete;
    SavedFramebufferState& operator=(const SavedFramebufferState&) = delete;
};
