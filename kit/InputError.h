#pragma once

// A problem with something the user handed in: a file, a parameter's value or the output path. The
// kit names a parameter by its own name for it ("view", "sharp_angle", "paper"); a front end puts
// its own name for the parameter in its place (kvhlr its option, --view; Python its keyword), so the
// kit speaks of no front end. The tool reports an error as one line naming the subject and exits with
// status 2.

#include <stdexcept>
#include <string>

namespace kvhlr {

class InputError : public std::runtime_error {
public:
    // `subject` names what was wrong (a file name, or a front end's name for an option); it may be empty.
    InputError(const std::string& subject, const std::string& reason) : InputError(subject, reason, false) {}

    // A bad value of the kit's parameter `name`.
    static InputError ofParameter(const std::string& name, const std::string& reason) {
        return InputError(name, reason, true);
    }

    const std::string& subject() const { return m_subject; }
    const std::string& reason() const { return m_reason; }
    // The kit's name of the parameter at fault (the subject), or "" when the subject is not one.
    std::string parameter() const { return m_parameter ? m_subject : std::string(); }

private:
    InputError(const std::string& subject, const std::string& reason, bool parameter)
        : std::runtime_error(subject.empty() ? reason : subject + ": " + reason), m_subject(subject),
          m_reason(reason), m_parameter(parameter) {}

    std::string m_subject;
    std::string m_reason;
    bool m_parameter;
};

} // namespace kvhlr
