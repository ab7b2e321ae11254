#include "kit/JsonFile.h"

#include "kit/InputError.h"
#include "kit/InputFile.h"

#include <fstream>

namespace kvhlr {

nlohmann::json readJsonObject(const std::string& path, const std::string& kind) {
    checkReadableFile(path, kind);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw InputError(path, "cannot read the " + kind);
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& error) {
        throw InputError(path, "not a valid JSON " + kind + ": " + error.what());
    }
    if (!document.is_object())
        throw InputError(path, "a " + kind + " holds one JSON object");
    return document;
}

} // namespace kvhlr
