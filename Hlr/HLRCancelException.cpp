#include "Hlr/HLRCancelException.h"

namespace KvHLR {

HLRCancelException::HLRCancelException(const std::string& message, const std::string& fileName, int line)
    : HLRError(message, fileName, line) {}

HLRCancelException::~HLRCancelException() = default;

} // namespace KvHLR
