#include "Hlr/HLRCompletionObservable.h"

namespace KvHLR {

// Out of line so that the type information lives in the library, not in every user.
HLRCompletionObservable::~HLRCompletionObservable() = default;

} // namespace KvHLR
