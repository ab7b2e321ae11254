#include "Hlr/HLRLongStrokeEnd.h"

namespace KvHLR {

HLRLongStrokeEnd::HLRLongStrokeEnd(const HLRStrokeEnd& end) : HLRStrokeEnd(end.point()) {
    setId(end.id());
}

HLRStrokeLinks& HLRLongStrokeEnd::linkedStrokes(int type) {
    const int kind = linkKindOf(type, false);
    if (kind < 0)
        throw HLRError("HLRLongStrokeEnd::linkedStrokes(): Illegal path.", "Hlr/HLRLongStrokeEnd", 106);
    return linksAt(kind);
}

const HLRStrokeLinks& HLRLongStrokeEnd::linkedStrokes(int type) const {
    const int kind = linkKindOf(type, false);
    if (kind < 0)
        throw HLRError("HLRLongStrokeEnd::linkedStrokes(): Illegal path.", "Hlr/HLRLongStrokeEnd", 73);
    return linksAt(kind);
}

bool HLRLongStrokeEnd::precedes(const HLRStrokeEnd& other) const {
    return this != &other && id() < other.id();
}

} // namespace KvHLR
