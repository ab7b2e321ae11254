#include "kit/JsonFile.h"

#include "kit/InputError.h"
#include "kit/InputFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kvhlr {

nlohmann::json readJsonObject(const std::string& path, const std::string& kind,
                              const std::vector<std::string>& keys) {
    checkReadableFile(path, kind);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw InputError(path, "cannot read the " + kind);
    std::ostringstream text;
    text << in.rdbuf();
    return parseJsonObject(text.str(), path, kind, keys);
}

nlohmann::json parseJsonObject(const std::string& text, const std::string& subject, const std::string& kind,
                               const std::vector<std::string>& keys) {
    // A member of the top object (depth 1) not asked for is dropped at its key, and with it everything
    // that its value would have built.
    const auto kept = [&keys](int depth, nlohmann::json::parse_event_t event, const nlohmann::json& parsed) {
        return keys.empty() || depth != 1 || event != nlohmann::json::parse_event_t::key ||
               std::find(keys.begin(), keys.end(), parsed.get_ref<const std::string&>()) != keys.end();
    };
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text, kept);
    } catch (const nlohmann::json::exception& error) {
        throw InputError(subject, "not a valid JSON " + kind + ": " + error.what());
    }
    if (!document.is_object())
        throw InputError(subject, "a " + kind + " holds one JSON object");
    return document;
}

} // namespace kvhlr
