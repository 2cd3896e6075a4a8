// Mesh drawing inside a camera pass.
//
// Each surface is drawn with its whole texture-unit state set, and a surface leaves no unit
// switched on for the one after it. Switching a unit off after each surface and on again for
// the next one makes the GL validate its texture state anew at every draw, which is costly;
// inside a batch the clean-up is therefore deferred: each surface switches off the units the
// surface before it used and it does not, and the end of the batch switches off whatever the
// last surface used. Every draw sees exactly the units its own surface sets, and after the
// batch every unit is off, as after a surface drawn alone.
#pragma once

// Opens a batch for its lifetime (batches may nest; the outermost one does the clean-up).
class MeshDrawBatch {
  public:
    MeshDrawBatch();
    ~MeshDrawBatch();
    MeshDrawBatch(const MeshDrawBatch&) = delete;
    MeshDrawBatch& operator=(const MeshDrawBatch&) = delete;
};

// Forgets the units the last surface drawn left on and any batch left open, so the next
// surface drawn starts as the first one after start-up does (the engine reset calls it).
void ForgetMeshDrawState();
