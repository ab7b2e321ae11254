#include "kit/JsonFile.h"

#include "kit/InputError.h"
#include "kit/InputFile.h"

#include <fstream>
#include <sstream>

namespace kvhlr {

nlohmann::json readJsonObject(const std::string& path, const std::string& kind) {
    checkReadableFile(path, kind);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw InputError(path, "cannot read the " + kind);
    std::ostringstream text;
    text << in.rdbuf();
    return parseJsonObject(text.str(), path, kind);
}

nlohmann::json parseJsonObject(const std::string& text, const std::string& subject, const std::string& kind) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& error) {
        throw InputError(subject, "not a valid JSON " + kind + ": " + error.what());
    }
    if (!document.is_object())
        throw InputError(subject, "a " + kind + " holds one JSON object");
    return document;
}

} // namespace kvhlr
