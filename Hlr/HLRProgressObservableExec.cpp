#include "Hlr/HLRProgressObservableExec.h"

#include "Hlr/HLRProgressObservableProc.h"

namespace KvHLR {

void HLRProgressObservableExec::set(const std::string& name, HLRProgressCallback callback) {
    m_name = name;
    if (callback != nullptr) {
        setUpProgressObservation(callback);
    }
}

void HLRProgressObservableExec::execute() {
    HLRProgressObservableProc::startProcess(m_name, 1);
    // Null when the name is not registered: then nothing was opened and nothing is to unwind.
    HLRProgressObservableProc* opened = HLRProgressObservableProc::current();
    try {
        preProcess();
        mainProcess();
        postProcess();
        HLRProgressObservableProc::endProcess(m_name);
    } catch (...) {
        HLRProgressObservableProc::abandonSessionsFrom(opened);
        throw;
    }
}

} // namespace KvHLR
