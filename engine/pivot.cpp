#include "engine/pivot.h"

#include <memory>

PivotRef TPivot::CreatePivot(const EntityRef& parent) {
    PivotRef p(new TPivot());
    p->class_name = "Pivot";
    p->PlaceNew(parent);
    return p;
}

EntityRef TPivot::CopyEntity(const EntityRef& new_parent) {
    PivotRef c(new TPivot());
    c->CopyChildrenFrom(*this);
    c->PlaceCopy(*this, new_parent);
    c->CopyPlacementFields(*this);
    c->FinishCopy();
    return c;
}
