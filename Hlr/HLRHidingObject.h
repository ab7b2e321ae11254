#pragma once

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRHiddenObject.h"

namespace KvHLR {

class HLRProjectedTriangleEdge;

// Something that can hide pieces of an edge: a projected triangle, face or shell.
class HLRHidingObject : public HLRHiddenObject {
public:
    ~HLRHidingObject() override;

    // Hiding objects get their boxes from setBoundingBoxes, which also gathers the extent of their
    // parts; computing them one dimension at a time is a misuse and throws.
    HLRBox2D setBoundingBox2D() override;
    HLRBox3D setBoundingBox3D() override;

    // Records on the edge the parameter ranges this object covers in front of it.
    virtual void hide(HLRProjectedTriangleEdge& edge) = 0;

    // Computes the object's own packed boxes and adds its extent to the two given boxes.
    virtual void setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) = 0;
};

} // namespace KvHLR
