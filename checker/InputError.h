#pragma once

// Something handed to the checker cannot be used: a mesh or drawing file that is missing or malformed,
// or a camera that maps nothing. The checker reports it in one line and exits with status 2.

#include <stdexcept>
#include <string>

namespace kvcheck {

class InputError : public std::runtime_error {
public:
    InputError(const std::string& subject, const std::string& reason)
        : std::runtime_error(subject + ": " + reason) {}
};

} // namespace kvcheck
