// libFuzzer target: the model loader on any bytes, the model it makes posed, animated and
// copied, and the same file loaded as one static mesh. Nothing a file holds may crash the loader
// or make it read outside the file or its tables, and freeing what a load returns frees all it
// made.
#include "engine/commands.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InitEngineModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = fuzzsupport::WriteScratch("model.b3d", data, size);
    const int entities = CountList(TEntity::entity_list);
    if (const MeshRef model = LoadAnimMesh(path, nullptr)) {
        // Posed at its start, inside, at and past its end, then played through a blend from
        // one sequence to a cut of it.
        const int length = AnimLength(model);
        for (const float time : {0.0f, float(length) * 0.37f, float(length), float(length) + 1.5f})
            SetAnimTime(model, time, 0);
        const int seq = ExtractAnimSeq(model, 1, length / 2, 0);
        Animate(model, 1, 0.75f, 0, 0);
        UpdateWorld(1.0f);
        Animate(model, 2, 1.5f, seq, 3);
        for (int step = 0; step < 4; ++step) UpdateWorld(1.0f);
        const EntityRef copy = CopyEntity(model, nullptr);
        UpdateWorld(1.0f);
        FreeEntity(copy);
        FreeEntity(model);
    }
    if (const MeshRef mesh = LoadMesh(path, nullptr)) FreeEntity(mesh);
    // Every entity a load makes hangs under the model it returns, or is freed with a failed load.
    if (CountList(TEntity::entity_list) != entities)
        fuzzsupport::Fail("entities outlive the model they were loaded with");
    fuzzsupport::AfterRun();
    return 0;
}
