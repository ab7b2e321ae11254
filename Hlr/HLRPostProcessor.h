#pragma once

#include "Hlr/HLRLongStrokeGroup.h"
#include "Hlr/HLRProgressObservableExec.h"
#include "api/KvHLRExport.h"

#include <boost/noncopyable.hpp>

#include <list>
#include <vector>

namespace KvHLR {

class HLRLongStroke;
class HLRLongStrokeEnd;
class HLRPolyAlgo;
class HLRShortStrokeGroup;

// The last stage of a run: has the stroke network of the algorithm renewed once, then joins the
// short strokes of every short-stroke group into long strokes, kind by kind. Each execution joins
// only the kinds of its mask that no earlier execution joined.
class KVHLR_API HLRPostProcessor : public HLRProgressObservableExec, private boost::noncopyable {
public:
    HLRPostProcessor();
    HLRPostProcessor(HLRPolyAlgo& polyAlgo, int silhouetteConnectMode, HLRProgressCallback callback);
    ~HLRPostProcessor() override;

    void set(HLRPolyAlgo& polyAlgo, int silhouetteConnectMode, HLRProgressCallback callback);

    // A clear visible bit in the mask asks for the hidden kinds too, once per post processor.
    void execute(int mask);

    void setUpProgressObservation(HLRProgressCallback callback) override;
    void preProcess() override;
    void mainProcess() override;

    void addLinkTo(HLRLongStroke& longStroke);
    void addLinkTo(HLRLongStrokeEnd& longStrokeEnd);

    HLRPolyAlgo* getPolyAlgo() const { return m_polyAlgo; }
    // Every long stroke created, in creation order; strokes merged into others are invalid.
    const std::vector<HLRLongStroke*>& featureLines() const { return m_featureLines; }
    const std::vector<HLRLongStrokeEnd*>& longStrokeEnds() const { return m_longStrokeEnds; }
    const std::list<HLRLongStrokeGroup>& longStrokeGroups() const { return m_longStrokeGroups; }
    int postProcMask() const { return m_postProcMask; }
    int processedMask() const { return m_processedMask; }
    bool executed() const { return m_executed; }
    bool hiddenPassDone() const { return m_hiddenPassDone; }
    double tolerance() const { return m_tolerance; }
    int silhouetteConnectMode() const { return m_silhouetteConnectMode; }

private:
    using HLRProgressObservableExec::execute;

    HLRLongStrokeGroup& newLongStrokeGroup(HLRPostProcessor& postProcessor, HLRShortStrokeGroup& group,
                                           double tolerance);

    HLRPolyAlgo* m_polyAlgo = nullptr;
    int m_postProcMask = 0;
    int m_processedMask = 0;
    bool m_executed = false;
    bool m_hiddenPassDone = false;
    double m_tolerance = 0.0;
    int m_silhouetteConnectMode = 1;
    std::vector<HLRLongStroke*> m_featureLines;
    std::vector<HLRLongStrokeEnd*> m_longStrokeEnds;
    std::list<HLRLongStrokeGroup> m_longStrokeGroups;
};

} // namespace KvHLR
