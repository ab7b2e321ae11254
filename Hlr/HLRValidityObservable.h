#pragma once

#include "api/KvHLRExport.h"

namespace KvHLR {

// Objects of the stroke network are never deleted during a run; one that is merged away or
// replaced is marked invalid instead and skipped by everything that walks the network.
class KVHLR_API HLRValidityObservable {
public:
    virtual ~HLRValidityObservable();

    bool isValid() const { return m_valid; }
    virtual void setValid(bool valid);

private:
    bool m_valid = true;
};

} // namespace KvHLR
