#include "kit/JsonFile.h"

#include "kit/InputError.h"
#include "kit/InputFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

namespace {

// The members of a JSON object's text that are asked for, parsed; every other member only skimmed to
// its end. A drawing read as a camera holds megabytes of numbers in its lines, and converting them all
// took a tenth of a second for the four numbers and two matrices wanted. Skimming checks what makes
// the text's structure (strings closed, brackets matched, commas and colons in place, a value in
// every place one belongs) but not the spelling of numbers and words, which no one reads. Throws
// std::runtime_error with the byte where the text goes wrong, or nlohmann's exception for a member
// asked for that is not valid JSON. No recursion: the brackets still open are a stack.
class MemberPicker {
public:
    MemberPicker(const std::string& text, const std::vector<std::string>& keys)
        : m_text(text), m_keys(keys) {}

    nlohmann::json object() {
        nlohmann::json result = nlohmann::json::object();
        expect('{');
        if (!tryTake('}')) {
            do {
                const auto name = nlohmann::json::parse(skimMemberName()).get<std::string>();
                const std::size_t start = m_pos;
                skimValue();
                if (std::find(m_keys.begin(), m_keys.end(), name) != m_keys.end())
                    result[name] = nlohmann::json::parse(m_text.substr(start, m_pos - start));
            } while (tryTake(','));
            expect('}');
        }
        skipSpace();
        if (m_pos != m_text.size())
            fail("text after the object");
        return result;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("parse error at byte " + std::to_string(m_pos + 1) + ": " + what);
    }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    // The characters of numbers and of true, false and null.
    static bool isScalar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
    }
    void skipSpace() {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
            ++m_pos;
    }
    // The next character past white space, which must be there.
    char next() {
        skipSpace();
        if (m_pos == m_text.size())
            fail("the text ends too soon");
        return m_text[m_pos];
    }
    bool tryTake(char c) {
        if (next() != c)
            return false;
        ++m_pos;
        return true;
    }
    void expect(char c) {
        if (!tryTake(c))
            fail(std::string("expected '") + c + "'");
    }
    void skimString() {
        expect('"');
        for (;;) {
            if (m_pos >= m_text.size()) // past the end too, after a last backslash
                fail("a string is not closed");
            const char c = m_text[m_pos++];
            if (c == '"')
                return;
            if (c == '\\')
                ++m_pos; // the escaped character, whatever it is
        }
    }
    void skimScalar() {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && isScalar(m_text[m_pos]))
            ++m_pos;
        if (m_pos == start)
            fail("expected a value");
    }
    void skimValue() {
        std::vector<char> open; // the closing brackets awaited, innermost last
        for (;;) {
            const char c = next();
            if (c == '{' || c == '[') {
                ++m_pos;
                const char close = c == '{' ? '}' : ']';
                if (!tryTake(close)) {
                    open.push_back(close);
                    if (close == '}')
                        skimMemberName();
                    continue;
                }
            } else if (c == '"') {
                skimString();
            } else {
                skimScalar();
            }
            // After a value: the brackets that close here, then the next element's comma.
            for (;;) {
                if (open.empty())
                    return;
                if (tryTake(',')) {
                    if (open.back() == '}')
                        skimMemberName();
                    break;
                }
                expect(open.back());
                open.pop_back();
            }
        }
    }
    // A member's name and its colon; the name's text, quotes included.
    std::string skimMemberName() {
        if (next() != '"')
            fail("expected a member name");
        const std::size_t start = m_pos;
        skimString();
        const std::size_t end = m_pos;
        expect(':');
        return m_text.substr(start, end - start);
    }

    const std::string& m_text;
    const std::vector<std::string>& m_keys;
    std::size_t m_pos = 0;
};

} // namespace

nlohmann::json parseJsonObject(const std::string& text, const std::string& subject, const std::string& kind,
                               const std::vector<std::string>& keys) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    nlohmann::json document;
    try {
        // Text that is not an object is parsed whole, so that the message says what it is instead.
        document = !keys.empty() && first != std::string::npos && text[first] == '{'
                       ? MemberPicker(text, keys).object()
                       : nlohmann::json::parse(text);
    } catch (const std::exception& error) {
        throw InputError(subject, "not a valid JSON " + kind + ": " + error.what());
    }
    if (!document.is_object())
        throw InputError(subject, "a " + kind + " holds one JSON object");
    return document;
}

} // namespace kvhlr
