#pragma once

#include "api/KvHLRExport.h"

namespace KvHLR {

// A single "done" mark; the bucket grid uses it to offer each face an edge only once per query.
class KVHLR_API HLRCompletionObservable {
public:
    virtual ~HLRCompletionObservable();

    bool isCompleted() const { return m_completed; }
    void setCompleted(bool completed) { m_completed = completed; }

private:
    bool m_completed = false;
};

} // namespace KvHLR
