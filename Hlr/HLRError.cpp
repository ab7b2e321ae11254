#include "Hlr/HLRError.h"

namespace KvHLR {

HLRError::HLRError(const std::string& message, const std::string& fileName, int line)
    : m_message(message),
      m_diagnostic(fileName + "(" + std::to_string(line) + ") : error : " + message + "\n") {}

HLRError::~HLRError() = default;

const char* HLRError::what() const noexcept {
    return m_message.c_str();
}

} // namespace KvHLR
