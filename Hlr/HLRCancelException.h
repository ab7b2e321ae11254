#pragma once

#include "Hlr/HLRError.h"

namespace KvHLR {

// Raised when the caller's progress callback asks to stop; the pipeline driver catches it by this
// type and turns it into a false result, while every other HLRError reaches the caller.
class KVHLR_API HLRCancelException : public HLRError {
public:
    HLRCancelException(const std::string& message, const std::string& fileName, int line);
    ~HLRCancelException() override;
};

} // namespace KvHLR
