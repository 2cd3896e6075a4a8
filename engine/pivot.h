// TPivot: an invisible entity, used as a parent to move other entities together.
#pragma once

#include "engine/entity.h"

class TPivot : public TEntity {
  public:
    // A new pivot (class "Pivot") under parent (null: at the top level), at the parent's origin
    // with identity rotation and unit scale, appended to entity_list among the order-0 entities.
    static PivotRef CreatePivot(const EntityRef& parent);

    // A copy of the pivot and its descendants under parent; the copy is shown, keeps the local
    // transform, name and order and gets a new default brush. Its global matrix is parent's
    // (identity without one) x this pivot's, and its descendants' matrices are current.
    EntityRef CopyEntity(const EntityRef& parent) override;
    // Nothing to do per frame.
    int Update() override { return 0; }
    int FreeEntity() override { return TEntity::FreeEntity(); }

  protected:
    TPivot() = default;
};
