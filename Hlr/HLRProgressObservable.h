#pragma once

#include "api/KvHLRExport.h"

#include <memory>
#include <string>
#include <vector>

namespace KvHLR {

// The caller's progress function: called as (percent, 100); a non-zero result cancels the run.
using HLRProgressCallback = int (*)(long, long);

class HLRProgressObservableProc;

// Owns a tree of named, weighted progress stages. Subclasses build the tree in
// setUpProgressObservation and open and close the stages by name while they work.
class KVHLR_API HLRProgressObservable {
public:
    HLRProgressObservable();
    // A copy takes the callback but no stages: stage names are registered process-wide by the
    // object that created them and stay with it.
    HLRProgressObservable(const HLRProgressObservable& other);
    HLRProgressObservable& operator=(const HLRProgressObservable& other);
    // Removes each of its stage names from the registry and destroys the stages, which withdraws
    // them from the running stages.
    virtual ~HLRProgressObservable();

    virtual void setUpProgressObservation(HLRProgressCallback callback) = 0;

    HLRProgressCallback callback() const { return m_callback; }
    const std::vector<std::unique_ptr<HLRProgressObservableProc>>& procs() const { return m_procs; }

protected:
    // Stages created afterwards report to this callback.
    void setCallback(HLRProgressCallback callback) { m_callback = callback; }
    HLRProgressObservableProc* newProc(const std::string& name, HLRProgressObservableProc* parent,
                                       double weight);

private:
    HLRProgressCallback m_callback = nullptr;
    std::vector<std::unique_ptr<HLRProgressObservableProc>> m_procs;
};

} // namespace KvHLR
