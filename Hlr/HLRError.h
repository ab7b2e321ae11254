#pragma once

#include "api/KvHLRExport.h"

#include <exception>
#include <string>

namespace KvHLR {

// An internal inconsistency: a state the algorithms never expect to reach. what() returns the
// message alone; the "file(line) : error : message" line is kept beside it for hosts that log.
class KVHLR_API HLRError : public std::exception {
public:
    HLRError(const std::string& message, const std::string& fileName, int line);
    ~HLRError() override;

    const char* what() const noexcept override;

    const std::string& message() const { return m_message; }
    // The thrower's file, line and message as one compiler-style line, ending in a line feed.
    const std::string& diagnostic() const { return m_diagnostic; }

private:
    std::string m_message;
    std::string m_diagnostic;
};

} // namespace KvHLR
