#include "Hlr/HLRValidityObservable.h"

namespace KvHLR {

HLRValidityObservable::~HLRValidityObservable() = default;

void HLRValidityObservable::setValid(bool valid) {
    m_valid = valid;
}

} // namespace KvHLR
