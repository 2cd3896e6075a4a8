#include "engine/inspector.h"

#include "engine/camera.h"
#include "engine/commands_entity.h"
#include "engine/entity.h"
#include "engine/mesh.h"
#include "engine/text2d.h"
#include "platform/input.h"
#include "platform/strings.h"

#include <memory>

int TDebug::cno = 0;
int TDebug::info = 1;
int TDebug::bsphere = 0;
MeshRef TDebug::sphere;
std::vector<TDebugLine> TDebug::printed;

namespace {

// Column and row spacing of the pages, in pixels.
constexpr int kLineHeight = 20;
constexpr int kMatrixColumnWidth = 100;
constexpr int kHeadingY = 80;
constexpr int kPageY = 120;
constexpr int kLocalY = 260;
constexpr int kMatrixY = 400;

// True while DebugEntity runs: its pages add to the lines of its heading.
bool in_frame = false;

// A page called on its own starts the record afresh.
void beginPage() {
    if (!in_frame) TDebug::printed.clear();
}

void print(int x, int y, const std::string& text) {
    TDebug::printed.push_back({x, y, text});
    TQuendor2D::Text(x, y, text);
}

// Values this close to 0 print as 0, so rounding noise does not fill the page with exponents.
float snapped(float v) {
    return v > -0.0001 && v < 0.0001 ? 0.0f : v;
}

std::string number(float v) {
    return FloatToText(snapped(v));
}

// Descendant number n of root in depth-first order, root itself for 0; null when there is no
// such descendant.
EntityRef numbered(const EntityRef& root, int n) {
    if (n == 0) return root;
    int count = 0;
    return root->GetChildFromAll(n, count);
}

} // namespace

int TDebug::DebugEntity(const EntityRef& ent, const CameraRef& cam) {
    if (!ent) return 0;
    printed.clear();
    in_frame = true;

    // The selection of the last call (if this root has one of that number) loses its mark.
    if (EntityRef previous = numbered(ent, cno)) previous->EntityColor(255, 255, 255);

    if (KeyHit(Key::Period)) cno += 1;
    if (KeyHit(Key::Comma)) cno -= 1;
    const int n = TEntity::CountAllChildren(ent, 0);
    if (cno < 0) cno = 0;
    if (cno > n) cno = n;

    EntityRef selected = numbered(ent, cno);
    if (!selected) selected = ent;
    selected->EntityColor(255, 0, 0);

    print(0, kHeadingY,
          std::to_string(cno) + ". " + selected->name + " (" + selected->class_name + ")");

    if (KeyHit(Key::Digit1)) info = 1;
    if (KeyHit(Key::Digit2)) info = 2;
    if (KeyHit(Key::Digit3)) info = 3;
    if (KeyHit(Key::F1)) bsphere = 1 - bsphere;

    switch (info) {
    case 1:
        Info1(selected);
        break;
    case 2:
        Info2(selected);
        break;
    case 3:
        Info3(selected, cam);
        break;
    default:
        break;
    }
    BoundingSphere(selected);
    in_frame = false;
    return 0;
}

int TDebug::Info1(const EntityRef& ent) {
    if (!ent) return 0;
    beginPage();
    for (int global : {1, 0}) {
        const int top = global ? kPageY : kLocalY;
        const std::string values[6] = {
            number(ent->EntityX(global)),   number(ent->EntityY(global)),
            number(ent->EntityZ(global)),   number(ent->EntityPitch(global)),
            number(ent->EntityYaw(global)), number(ent->EntityRoll(global)),
        };
        const char* labels[6] = {
            global ? "X (g): " : "X (l): ", "Y: ", "Z: ", "Pitch: ", "Yaw: ", "Roll: "};
        for (int k = 0; k < 6; ++k) print(0, top + kLineHeight * k, labels[k] + values[k]);
    }
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            print(kMatrixColumnWidth * i, kMatrixY + kLineHeight * j, number(ent->mat.grid[i][j]));
    return 0;
}

int TDebug::Info2(const EntityRef& ent) {
    if (!ent) return 0;
    beginPage();
    const auto mesh = std::dynamic_pointer_cast<TMesh>(ent);
    if (!mesh) {
        print(0, kPageY, "Entity is not a mesh!");
        return 0;
    }
    const std::string lines[6] = {
        "Surfaces: " + FloatToText(float(mesh->CountSurfaces())),
        "Vertices: " + FloatToText(float(mesh->CountVertices())),
        "Triangles: " + FloatToText(float(mesh->CountTriangles())),
        "Mesh Width: " + FloatToText(mesh->MeshWidth()),
        "Mesh Height: " + FloatToText(mesh->MeshHeight()),
        "Mesh Depth: " + FloatToText(mesh->MeshDepth()),
    };
    for (int k = 0; k < 6; ++k) print(0, kPageY + kLineHeight * k, lines[k]);
    return 0;
}

int TDebug::Info3(const EntityRef& ent, const CameraRef& cam) {
    if (!ent) return 0;
    beginPage();
    if (cam)
        print(0, kPageY, "EntityInView: " + FloatToText(cam->EntityInView(ent)));
    else
        print(0, kPageY, "Camera entity not specified!");
    return 0;
}

int TDebug::BoundingSphere(const EntityRef& ent) {
    if (!ent) return 0;
    // A freed sphere (no brush) is out of the scene for good: the overlay gets a new one.
    if (!sphere || !sphere->brush) sphere = TMesh::CreateSphere(8, nullptr);
    if (bsphere == 0) {
        sphere->HideEntity();
        return 0;
    }
    sphere->ShowEntity();
    sphere->EntityAlpha(0.75f);
    sphere->EntityColor(255, 255, 0);

    const TSphere bounds = ent->BoundingSphere();
    PositionEntity(sphere, bounds.centre.x, bounds.centre.y, bounds.centre.z, 1);
    ScaleEntity(sphere, bounds.radius, bounds.radius, bounds.radius, 0);
    return 0;
}
