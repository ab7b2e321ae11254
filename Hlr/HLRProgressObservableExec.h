#pragma once

#include "Hlr/HLRProgressObservable.h"
#include "Hlr/HLRSequentExecutable.h"

#include <string>

namespace KvHLR {

// A three-phase job that runs inside a progress stage of its own name.
class KVHLR_API HLRProgressObservableExec : public HLRProgressObservable, public HLRSequentExecutable {
public:
    // Names the stage that execute() opens; a non-null callback also sets up the stage tree.
    // Without a callback no stage is registered and the run reports nothing.
    void set(const std::string& name, HLRProgressCallback callback);

    const std::string& name() const { return m_name; }

    // Runs the phases inside the named stage. When a phase (or the final report) throws, the
    // stage and every stage opened inside it are closed silently before the exception leaves,
    // so a cancelled run leaves nothing running behind it, even while this object lives on.
    void execute() override;

private:
    std::string m_name;
};

} // namespace KvHLR
