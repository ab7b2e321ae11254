#include "python/Keywords.h"

#include "kit/InputError.h"
#include "kit/camera/CameraChoice.h"

#include <cctype>

namespace kvhlr::python {
namespace {

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string nameOf(py::handle value, const char* name) {
    return lowerCase(keyword<std::string>(value, name, "a str"));
}

std::string oneOf(py::handle value, const char* name, std::initializer_list<const char*> choices) {
    const std::string text = nameOf(value, name);
    std::string names;
    for (const char* choice : choices) {
        if (text == choice)
            return text;
        names += std::string(names.empty() ? "" : ", ") + choice;
    }
    throw py::value_error(std::string(name) + " must be one of " + names + ", not '" +
                          keyword<std::string>(value, name, "a str") + "'");
}

UpAxis upAxisOf(py::handle value, const char* name) {
    try {
        return upAxisNamed(nameOf(value, name));
    } catch (const InputError& error) {
        throw py::value_error(std::string(name) + ": " + error.reason());
    }
}

std::string viewNameOf(const std::string& name) {
    const std::string lower = lowerCase(name);
    const std::string section = "section:";
    if (lower.rfind(section, 0) != 0)
        return lower;
    std::string letter = name.substr(section.size());
    for (char& c : letter)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return section + letter;
}

} // namespace kvhlr::python
