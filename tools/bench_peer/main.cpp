// bench_engine_peer: the scenes of tools/bench_engine/scene_args.h drawn by the peer engine
// through its OpenGL driver, timed and printed as bench_engine_program does. The viewport is
// cleared alone (scissored), as the engine's camera clears it, so that neither pays for filling
// the rest of the window.
#include "tools/bench_engine/scene_args.h"

#include <GL/gl.h>
#include <irrlicht.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <vector>

using namespace irr;

namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The cubes' texture, the same checkerboard as bench_engine_program's.
video::ITexture* checkerTexture(video::IVideoDriver* driver) {
    video::IImage* image =
        driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(256, 256));
    for (u32 y = 0; y < 256; ++y)
        for (u32 x = 0; x < 256; ++x)
            image->setPixel(x, y, video::SColor(benchscene::CheckerPixel(x, y)));
    video::ITexture* texture = driver->addTexture("checker", image);
    image->drop();
    return texture;
}

} // namespace

int main(int argc, char** argv) {
    benchscene::Scene scene;
    if (!benchscene::ParseScene(argc, argv, scene)) {
        std::fprintf(stderr, "usage: bench_engine_peer cubes|crowd N WxH FRAMES [MODEL]\n");
        return 2;
    }
    IrrlichtDevice* device = createDevice(video::EDT_OPENGL, core::dimension2d<u32>(800, 600), 24,
                                          false, false, false, nullptr);
    if (!device) return 1;
    device->getLogger()->setLogLevel(ELL_NONE);
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* smgr = device->getSceneManager();

    const float extent = scene.Extent();
    scene::ICameraSceneNode* camera = smgr->addCameraSceneNode(
        nullptr, core::vector3df(0, 0, -extent * 1.5f), core::vector3df(0, 0, 0));
    camera->setFOV(core::PI / 2.0f);
    camera->setAspectRatio(float(scene.width) / float(scene.height));
    camera->setNearValue(1.0f);
    camera->setFarValue(extent * 3.0f);
    const video::SColor fog(255, 40, 50, 70);
    driver->setFog(fog, video::EFT_FOG_LINEAR, extent, extent * 2.5f, 0.01f, false, false);
    smgr->setAmbientLight(video::SColorf(60 / 255.0f, 60 / 255.0f, 60 / 255.0f));
    scene::ILightSceneNode* light = smgr->addLightSceneNode();
    video::SLight& data = light->getLightData();
    data.Type = video::ELT_DIRECTIONAL;
    light->setRotation(core::vector3df(35, -30, 0));

    std::vector<scene::ISceneNode*> nodes;
    video::ITexture* texture = scene.crowd ? nullptr : checkerTexture(driver);
    scene::IAnimatedMesh* model = scene.crowd ? smgr->getMesh(scene.model.c_str()) : nullptr;
    if (scene.crowd && !model) {
        std::fprintf(stderr, "bench_engine_peer: %s cannot be read\n", scene.model.c_str());
        return 1;
    }
    for (int n = 0; n < scene.count; ++n) {
        float at[3];
        scene.Place(n, at);
        const core::vector3df position(at[0], at[1], at[2]);
        scene::ISceneNode* node = nullptr;
        if (scene.crowd) {
            scene::IAnimatedMeshSceneNode* figure =
                smgr->addAnimatedMeshSceneNode(model, nullptr, -1, position);
            figure->setAnimationSpeed(30.0f * benchscene::Scene::Pace(n));
            node = figure;
        } else {
            node = smgr->addCubeSceneNode(2.0f, nullptr, -1, position);
            node->setMaterialTexture(0, texture);
        }
        node->setMaterialFlag(video::EMF_FOG_ENABLE, true);
        node->setMaterialFlag(video::EMF_LIGHTING, true);
        nodes.push_back(node);
    }

    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    long faults = 0;
    const core::rect<s32> view(0, 0, scene.width, scene.height);
    for (int frame = 0; frame < scene.WarmUp() + scene.frames && device->run(); ++frame) {
        const long faultsBefore = minorFaults();
        const auto start = Clock::now();
        if (!scene.crowd)
            for (scene::ISceneNode* node : nodes)
                node->setRotation(node->getRotation() + core::vector3df(1, 1, 0));
        driver->beginScene(false, false);
        driver->setViewPort(view);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 600 - scene.height, scene.width, scene.height);
        glClearColor(40 / 255.0f, 50 / 255.0f, 70 / 255.0f, 1.0f);
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        smgr->drawAll();
        driver->endScene();
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (frame >= scene.WarmUp()) {
            times.push_back(took.count());
            faults += minorFaults() - faultsBefore;
        }
    }
    benchscene::PrintTimes(times, faults);
    device->drop();
    return 0;
}
