#include "engine/light.h"

#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/image2d.h"

#include <GL/glew.h>

#include <cstddef>

std::shared_ptr<TList<LightRef>> TLight::light_list = CreateList<LightRef>();
int TLight::no_lights = 0;
int TLight::max_lights = 8;
int TLight::light_no = 0;
std::vector<unsigned> TLight::gl_light = {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_LIGHT3,
                                          GL_LIGHT4, GL_LIGHT5, GL_LIGHT6, GL_LIGHT7};

namespace {

// The GL light of a place in light_list (from 1); 0 when there is none.
unsigned glLightAt(int place) {
    if (place < 1 || std::size_t(place) > TLight::gl_light.size()) return 0;
    return TLight::gl_light[std::size_t(place) - 1];
}

// The settings a light's GL light gets besides its position and colour: white specular, and for
// a positional light no constant attenuation (the linear one carries the range), and for a spot
// its exponent.
void applyFixedSettings(unsigned id, int light_type) {
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(id, GL_SPECULAR, white);
    if (light_type > 1) glLightf(id, GL_CONSTANT_ATTENUATION, 0.0f);
    if (light_type == 3) glLightf(id, GL_SPOT_EXPONENT, 10.0f);
}

} // namespace

// ---- Creation, copies, freeing ----

bool TLight::Register() {
    if (no_lights >= max_lights) return false;
    no_lights += 1;
    const unsigned id = glLightAt(no_lights);
    if (id != 0 && GraphicsOpen()) {
        glstate::Enable(id, true);
        applyFixedSettings(id, light_type);
    }
    return true;
}

LightRef TLight::CreateLight(int light_type, const EntityRef& parent) {
    LightRef l(new TLight());
    l->light_type = light_type;
    l->class_name = "Light";
    if (!l->Register()) return nullptr;
    if (light_list) light_list->AddLast(l);
    l->PlaceNew(parent);
    return l;
}

EntityRef TLight::CopyEntity(const EntityRef& new_parent) {
    if (no_lights >= max_lights) return nullptr;
    LightRef l(new TLight());
    l->CopyChildrenFrom(*this);
    l->PlaceCopy(*this, new_parent);
    l->CopyPlacementFields(*this);
    l->light_type = light_type;
    l->range = range;
    l->red = red;
    l->green = green;
    l->blue = blue;
    l->inner_ang = inner_ang;
    l->outer_ang = outer_ang;
    // Copied lights among the descendants may have taken the last places: undo the whole copy
    // rather than count a ninth light.
    if (!l->Register()) {
        l->FreeEntity();
        return nullptr;
    }
    if (light_list) light_list->AddLast(l);
    l->FinishCopy();
    return l;
}

int TLight::FreeEntity() {
    EntityRef keep = self(); // the lists may hold the last references
    TEntity::FreeEntity();
    LightRef me = std::static_pointer_cast<TLight>(keep);
    // Only a light still in the list gives back its place: freeing it again must not count off
    // another light.
    if (!me || !light_list || !light_list->Remove(me)) return 0;
    if (no_lights > 0) no_lights -= 1;
    const unsigned id = glLightAt(no_lights + 1);
    if (id != 0 && GraphicsOpen()) glstate::Enable(id, false);
    return 0;
}

// ---- Settings ----

int TLight::LightRange(float r) {
    range = 1.0f / r;
    return 0;
}

int TLight::LightColor(float r, float g, float b) {
    red = r / 255.0f;
    green = g / 255.0f;
    blue = b / 255.0f;
    return 0;
}

int TLight::LightConeAngles(float inner, float outer) {
    inner_ang = inner / 2.0f;
    outer_ang = outer / 2.0f;
    return 0;
}

float TLight::SpotCutoff(float outer) {
    if (!(outer >= 0.0f)) return 0.0f;
    if (outer <= 90.0f) return outer;
    return outer < 180.0f ? 90.0f : 180.0f;
}

int TLight::ListPlace() const {
    if (!light_list) return 0;
    int place = 0;
    for (const LightRef& l : *light_list) {
        ++place;
        if (l.get() == this) return place;
    }
    return 0;
}

// ---- The camera pass ----

int TLight::Update() {
    const int place = ListPlace();
    const unsigned id = glLightAt(place);
    if (id == 0) return 0;
    light_no = place;
    if (!GraphicsOpen()) return 0;
    if (EntityHidden() == 1) {
        glstate::Enable(id, false);
        return 0;
    }
    glstate::Enable(id, true);
    glPushMatrix();
    glMultMatrixf(mat.data());
    // A directional light shines along its own forward axis (-z in the stored form); a
    // positional one sits at the entity's origin.
    const float directional[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    const float positional[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(id, GL_POSITION, light_type <= 1 ? directional : positional);
    const float diffuse[4] = {red, green, blue, 1.0f};
    glLightfv(id, GL_DIFFUSE, diffuse);
    // The settings made at creation are made again: the hand-over to the 2D layer restores the
    // GL lights to its own state, and this GL light may have served another light before.
    applyFixedSettings(id, light_type);
    if (light_type > 1) glLightf(id, GL_LINEAR_ATTENUATION, range);
    if (light_type == 3) {
        const float forward[3] = {0.0f, 0.0f, -1.0f};
        glLightfv(id, GL_SPOT_DIRECTION, forward);
        glLightf(id, GL_SPOT_CUTOFF, SpotCutoff(outer_ang));
    } else {
        // No cone: a spot that used this GL light before must not narrow this light.
        glLightf(id, GL_SPOT_CUTOFF, 180.0f);
    }
    glPopMatrix();
    return 0;
}
