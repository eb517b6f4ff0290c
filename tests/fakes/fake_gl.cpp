// The OpenGL and GLU half of the stand-in: each call is recorded with its
// arguments at their exact widths (GLfloat as float, GLdouble as double).
#include "platform_state.h"

#include <GL/gl.h>
#include <GL/glu.h>

using fake::call;
using fake::record;

extern "C" {

void GLAPIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    record(call("glViewport", {x, y, width, height}));
}

void GLAPIENTRY glEnable(GLenum cap) {
    record(call("glEnable", {cap}));
}

void GLAPIENTRY glCullFace(GLenum mode) {
    record(call("glCullFace", {mode}));
}

void GLAPIENTRY glFrontFace(GLenum mode) {
    record(call("glFrontFace", {mode}));
}

void GLAPIENTRY glShadeModel(GLenum mode) {
    record(call("glShadeModel", {mode}));
}

void GLAPIENTRY glClear(GLbitfield mask) {
    record(call("glClear", {mask}));
}

void GLAPIENTRY glBegin(GLenum mode) {
    record(call("glBegin", {mode}));
}

void GLAPIENTRY glEnd(void) {
    record(call("glEnd"));
}

void GLAPIENTRY glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    record(call("glColor3f", {red, green, blue}));
}

void GLAPIENTRY glVertex2f(GLfloat x, GLfloat y) {
    record(call("glVertex2f", {x, y}));
}

void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    record(call("glVertex3f", {x, y, z}));
}

void GLAPIENTRY glMatrixMode(GLenum mode) {
    record(call("glMatrixMode", {mode}));
}

void GLAPIENTRY glLoadIdentity(void) {
    record(call("glLoadIdentity"));
}

void GLAPIENTRY glPushMatrix(void) {
    record(call("glPushMatrix"));
}

void GLAPIENTRY glPopMatrix(void) {
    record(call("glPopMatrix"));
}

void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    record(call("glTranslatef", {x, y, z}));
}

void GLAPIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    record(call("glRotatef", {angle, x, y, z}));
}

void GLAPIENTRY glScalef(GLfloat x, GLfloat y, GLfloat z) {
    record(call("glScalef", {x, y, z}));
}

void GLAPIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    record(call("gluPerspective", {fovy, aspect, zNear, zFar}));
}

} // extern "C"
