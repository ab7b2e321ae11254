#pragma once

#include "Hlr/HLRProgressObservable.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace KvHLR {

// One progress stage. A stage covers `span` of the whole run, starting at `start`; both follow from
// the weights along its parent chain and from the spans of its earlier siblings, whether those ran
// or not. Stages are opened and closed by name through the static operations, which keep the
// process-wide registry, the stack of running stages and the innermost one.
class HLRProgressObservableProc {
public:
    // Appends the stage to the parent's children.
    HLRProgressObservableProc(const std::string& name, HLRProgressCallback callback,
                              HLRProgressObservableProc* parent, double weight);
    // Withdraws the stage from the running stages (a cancelled run leaves its stages running); its
    // owner has taken its name out of the registry.
    virtual ~HLRProgressObservableProc();
    HLRProgressObservableProc(const HLRProgressObservableProc&) = delete;
    HLRProgressObservableProc& operator=(const HLRProgressObservableProc&) = delete;

    const std::string& name() const { return m_name; }
    HLRProgressCallback callback() const { return m_callback; }
    HLRProgressObservableProc* parent() const { return m_parent; }
    const std::vector<HLRProgressObservableProc*>& children() const { return m_children; }
    bool inSession() const { return m_inSession; }
    double weight() const { return m_weight; }
    double start() const { return m_start; }
    double span() const { return m_span; }
    std::int32_t steps() const { return m_steps; }
    std::int32_t count() const { return m_count; }

    // Marks the stage running with the given number of steps; throws when the parent is not running.
    void startSession(std::int32_t steps);
    // Counts one step and reports the overall percentage; throws HLRCancelException on request.
    void updateObserver();

    // Opens the stage registered under `name`; an unknown name clears the current stage instead.
    static void startProcess(const std::string& name, std::int32_t steps);
    // Step and end act on the innermost running stage; `name` only documents the call site.
    static void stepProcess(const std::string& name);
    static void endProcess(const std::string& name);

    // Registers the stage under its name unless the name is taken already (the earlier entry stays).
    static void registerProc(HLRProgressObservableProc* proc);
    // Takes the name out of the registry, whichever stage it stands for.
    static void unregisterName(const std::string& name) { sm_procByName.erase(name); }
    // Closes `proc` and every stage opened after it without reporting; for unwinding after an
    // exception. Does nothing when `proc` is null or not on the stack of running stages.
    static void abandonSessionsFrom(HLRProgressObservableProc* proc);

    static const std::map<std::string, HLRProgressObservableProc*>& procByName() { return sm_procByName; }
    static const std::deque<HLRProgressObservableProc*>& sessionStack() { return sm_sessionStack; }
    static HLRProgressObservableProc* current() { return sm_current; }

private:
    double startAfterEarlierSiblings();
    static void currentFromStackTop();

    std::string m_name;
    HLRProgressCallback m_callback;
    HLRProgressObservableProc* m_parent;
    std::vector<HLRProgressObservableProc*> m_children;
    bool m_inSession = false;
    double m_weight;
    double m_start = 0.0;
    double m_span = -1.0;
    std::int32_t m_steps = -1;
    std::int32_t m_count = 0;

    static std::map<std::string, HLRProgressObservableProc*> sm_procByName;
    static std::deque<HLRProgressObservableProc*> sm_sessionStack;
    static HLRProgressObservableProc* sm_current;
};

} // namespace KvHLR
