#pragma once

#include <vector>

namespace KvHLR {

class HLRStroke;

// The strokes of one kind that meet at a stroke end. Removing a stroke leaves a null hole instead
// of shifting the entries, so positions held by a walk over the list stay meaningful; the list only
// grows while its end lives. validCount is kept equal to the number of valid non-null entries by
// HLRStrokeEnd (registration) and HLRStroke (validity changes), so connectors can ask "does anything
// still continue here" without scanning.
class HLRStrokeLinks {
public:
    const std::vector<HLRStroke*>& strokes() const { return m_strokes; }
    int validCount() const { return m_validCount; }

private:
    friend class HLRStroke;
    friend class HLRStrokeEnd;

    void append(HLRStroke* stroke, bool valid) {
        m_strokes.push_back(stroke);
        if (valid)
            ++m_validCount;
    }

    // Nulls every entry holding the stroke and returns how many there were.
    int punchHoles(const HLRStroke* stroke) {
        int removed = 0;
        for (HLRStroke*& entry : m_strokes) {
            if (entry == stroke) {
                entry = nullptr;
                ++removed;
            }
        }
        return removed;
    }

    void changeValidCount(int delta) { m_validCount += delta; }

    std::vector<HLRStroke*> m_strokes;
    int m_validCount = 0;
};

} // namespace KvHLR
