// The 2D pass of a frame: the lights the knob program reads, the banner
// with the parameter line or hint, the element tree with the effects, and
// the floating tooltip.
#include "core/QrvAuBase.h"
#include "gui/Draw2D.h"
#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Group.h"
#include "gui/Manager.h"
#include "gui/RenderThread.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace QV {

void RenderThread::overlay() {
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    setUpLights();
    drawBanner();
    m.rootGroup().draw();
    glDepthMask(GL_FALSE);
    for (const auto &effect : m.effectList())
        effect->draw2D();
    drawTooltip();
}

void RenderThread::setUpLights() {
    const float ambient[] = {0.2f, 0.2f, 0.2f, 1};
    const float diffuse0[] = {0.8f, 0.8f, 0.8f, 1}, specular0[] = {0.2f, 0.2f, 0.2f, 1};
    const float position0[] = {0.6f, 0.6f, 0.5f, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse0);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular0);
    glLightfv(GL_LIGHT0, GL_POSITION, position0);
    if (UIElement *hovered = m.hoveredElement()) {
        const Box b = hovered->windowBounds();
        lightTargetX = b.centreX();
        lightTargetY = b.centreY();
    }
    light[0] = 0.1f * lightTargetX + 0.9f * light[0];
    light[1] = 0.1f * lightTargetY + 0.9f * light[1];
    const float diffuse1[] = {0.9f, 0.9f, 0.9f, 1}, specular1[] = {0.5f, 0.5f, 0.7f, 1};
    const float position1[] = {light[0], light[1], 50, 1};
    glEnable(GL_LIGHT1);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse1);
    glLightfv(GL_LIGHT1, GL_SPECULAR, specular1);
    glLightfv(GL_LIGHT1, GL_POSITION, position1);
    const float materialSpecular[] = {0.5f, 0.5f, 0.5f, 1};
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

void RenderThread::drawBanner() {
    frameText.clear();
    Font *font = m.mainFont();
    if (!font) return;
    const float lineHeight = font->lineHeight(), y = m.bannerPosition();
    const float infoX = m.showsTitle() ? m.width() / 2.0f + 15 : 25;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    setColour(m.bannerColour());
    fillRect(20, y, m.width() - 20.0f, y + lineHeight);
    glDisable(GL_BLEND);
    const float baseline = y - font->descender();
    setColour(Manager::bannerTextColour().load());
    const int edited = m.editedParameter();
    const int shown = edited >= 0 ? edited : m.hoveredParameter();
    if (shown >= 0) {
        drawParameterLine(shown, infoX, baseline);
    } else if (shown < -1) {
        if (shown != cachedHintId) {
            cachedHintId = shown;
            cachedHint = m.hint(shown);
        }
        if (!cachedHint.empty()) {
            font->drawText(cachedHint.c_str(), infoX + 100, baseline);
            frameText = cachedHint;
        }
    }
}

void RenderThread::drawParameterLine(int index, float x, float y) {
    murmelo::QrvAuBase *effect = m.effect();
    Font *font = m.mainFont();
    if (!effect || !murmelo::isParameterIndex(index)) return;
    const char *name = m.parameter(index).name;
    char display[256] = {}, label[256] = {};
    effect->getParameterDisplay(index, display);
    effect->getParameterLabel(index, label);
    font->drawText(name, x + 140 - font->textWidth(name), y);
    font->drawText(display, x + 150, y);
    if (label[0]) font->drawText(label, x + 190, y);
    frameText = std::string(name) + " " + display;
    if (label[0]) frameText += std::string(" ") + label;
}

// The tooltip fades in over a few frames near the control under the
// pointer and fades out once nothing is shown in the banner.
void RenderThread::drawTooltip() {
    Font *font = m.mainFont();
    if (!Manager::floatingTooltip() || !font) return;
    const float w = float(m.width());
    UIElement *element = m.tooltipElement();
    if (element && !frameText.empty()) {
        tooltipAlpha = tooltipAlpha * 0.84f + 0.16f;
        std::snprintf(tooltipText, sizeof(tooltipText), "%s", frameText.c_str());
        const Box b = element->windowBounds();
        tooltipWidth = font->textWidth(tooltipText);
        // Kept inside the window with 5 pixels to spare on either side.
        tooltipLeft = std::min(std::max(b.centreX() - tooltipWidth / 2, 5.f), w - 5 - tooltipWidth);
        tooltipBottom = b.centreY();
        tooltipHeight = font->lineHeight();
    } else {
        tooltipAlpha *= 0.89f;
        if (tooltipAlpha < 0.003921569f) tooltipAlpha = 0;
    }
    tooltipShown.store(tooltipAlpha, std::memory_order_relaxed);
    if (tooltipAlpha <= 0) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.7f, 0.7f, 0.7f, tooltipAlpha * 0.5f);
    fillRect(tooltipLeft - 5, tooltipBottom, tooltipLeft + tooltipWidth + 5, tooltipBottom + tooltipHeight);
    glDisable(GL_BLEND);
    glColor4f(0.8f, 0.8f, 0.8f, tooltipAlpha * 0.9f);
    font->drawText(tooltipText, tooltipLeft, tooltipBottom - font->descender());
}

} // namespace QV
