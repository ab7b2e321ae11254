#pragma once

// Kelvar HLR: hidden-line removal for triangle meshes. Include this one header to use the library.
//
// The entry point is KvHLR::CalcSilhouette; the stage classes are exported too, for hosts that run the
// stages themselves and read intermediate results.

#include "api/CalcSilhouette.h"
#include "api/KvHLRRecords.h"

#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRError.h"
#include "Hlr/HLRLongStroke.h"
#include "Hlr/HLRLongStrokeEnd.h"
#include "Hlr/HLRLongStrokeGroup.h"
#include "Hlr/HLRMatrix4x4.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRPostProcessor.h"
#include "Hlr/HLRProgressObservableExec.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjector.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"
#include "Hlr/HLRVector2D.h"
#include "Hlr/HLRVector4D.h"
