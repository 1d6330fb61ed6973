// The one header that brings in OpenGL (through GLEW, which must come before
// any other GL header) and FTGL, whose headers include GL themselves.  Every
// file of the editor that draws includes this and no GL header directly.
#pragma once

#include <GL/glew.h>

#include <FTGL/ftgl.h>

namespace QV {

// [render] Initialises GLEW's entry points for the current context, once
// per process (the entry points do not depend on the context); false when
// that fails.
bool initGLEW();

// Features a user (or a test) can switch off to see the fallbacks:
// MURMELO_GL_DISABLE="fbo,arbvp" disables framebuffer objects and ARB
// vertex programs.  [render]
bool hasFramebufferObjects();
bool hasVertexPrograms();

} // namespace QV
