#pragma once

#include "api/KvHLRExport.h"

namespace KvHLR {

// A job run as three phases. Subclasses override the phases they need; execute() may be
// overridden to wrap the phases (progress reporting does so).
class KVHLR_API HLRSequentExecutable {
public:
    virtual void preProcess();
    virtual void mainProcess();
    virtual void postProcess();
    virtual ~HLRSequentExecutable();
    virtual void execute();
};

} // namespace KvHLR
