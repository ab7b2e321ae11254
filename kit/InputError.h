#pragma once

// A problem with something the user handed in: a file, an option value or the output path. The tool
// reports it as one line naming the subject and exits with status 2.

#include <stdexcept>
#include <string>

namespace kvhlr {

class InputError : public std::runtime_error {
public:
    // `subject` names what was wrong (a file name or an option); it may be empty.
    InputError(const std::string& subject, const std::string& reason)
        : std::runtime_error(subject.empty() ? reason : subject + ": " + reason), m_subject(subject),
          m_reason(reason) {}

    const std::string& subject() const { return m_subject; }
    const std::string& reason() const { return m_reason; }

private:
    std::string m_subject;
    std::string m_reason;
};

} // namespace kvhlr
