#pragma once

// JSON files a user names (a camera, a style): read whole and parsed, for the kit's own readers (not
// installed: the kit's interface does not show the JSON library).
//
// In:  the file's path and what it is meant to be ("camera file").
// Out: the JSON object the file (or a text) holds; InputError naming the file for anything else.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kvhlr {

// Throws InputError naming `path` when it cannot be read (as checkReadableFile says), is not JSON, or
// holds something other than one object; `kind` names the file in the messages. Where `keys` is not
// empty, the object holds only its members of those names, parsed as JSON; the rest are skimmed (their
// strings, brackets, commas and colons checked, their numbers not converted), since a drawing file read
// as a camera holds megabytes of lines.
nlohmann::json readJsonObject(const std::string& path, const std::string& kind,
                              const std::vector<std::string>& keys = {});

// The same for a text already read (Python's style given as a dict), `subject` naming it in messages.
nlohmann::json parseJsonObject(const std::string& text, const std::string& subject, const std::string& kind,
                               const std::vector<std::string>& keys = {});

} // namespace kvhlr
