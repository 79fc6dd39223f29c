#include "ModuleInfoJson.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <fstream>
#include <system_error>

namespace talven::apply {
namespace {

using nlohmann::json;

// Deeper nesting than any moduleinfo.json has; refused before parsing so
// that a hostile file costs nothing.
constexpr std::size_t kDeepestNesting = 64;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The text without JSON5's comments and trailing commas, for a strict
// parser; nothing when a string or comment is left open or the nesting is
// too deep.
std::optional<std::string> strictJson(std::string_view text, std::string& error)
{
    std::string strict;
    strict.reserve(text.size());
    std::size_t depth = 0;
    std::optional<std::size_t> lastComma; // a comma that a closing bracket would make trailing
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            std::size_t end = i + 1;
            while (end < text.size() && text[end] != '"')
                end += text[end] == '\\' ? 2 : 1;
            if (end >= text.size()) {
                error = "a string is not closed";
                return std::nullopt;
            }
            strict.append(text.substr(i, end + 1 - i));
            lastComma.reset();
            i = end + 1;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*')) {
            const bool line = text[i + 1] == '/';
            const std::size_t end = text.find(line ? "\n" : "*/", i + 2);
            if (end == std::string_view::npos && !line) {
                error = "a comment is not closed";
                return std::nullopt;
            }
            strict += ' ';
            i = end == std::string_view::npos ? text.size() : end + (line ? 1 : 2);
            continue;
        }
        if (c == '{' || c == '[') {
            if (++depth > kDeepestNesting) {
                error = "nested deeper than " + std::to_string(kDeepestNesting) + " levels";
                return std::nullopt;
            }
        } else if (c == '}' || c == ']') {
            if (lastComma)
                strict[*lastComma] = ' ';
            depth = depth > 0 ? depth - 1 : 0;
        }
        if (c == ',')
            lastComma = strict.size();
        else if (!isBlank(c))
            lastComma.reset();
        strict += c;
        ++i;
    }
    return strict;
}

bool readString(const json& object, const char* key, bool required, std::string& value, std::string& error)
{
    const auto found = object.find(key);
    if (found == object.end()) {
        if (required)
            error = std::string("a class has no \"") + key + "\"";
        return !required;
    }
    if (!found->is_string()) {
        error = std::string("\"") + key + "\" is not a string";
        return false;
    }
    value = found->get<std::string>();
    return true;
}

bool readSubCategories(const json& object, std::string& joined, std::string& error)
{
    const auto found = object.find("Sub Categories");
    if (found == object.end())
        return true;
    if (!found->is_array()) {
        error = "\"Sub Categories\" is not an array";
        return false;
    }
    for (const json& each : *found) {
        if (!each.is_string()) {
            error = "\"Sub Categories\" holds something other than strings";
            return false;
        }
        joined += (joined.empty() ? "" : "|") + each.get<std::string>();
    }
    return true;
}

bool normalizeClassId(std::string& id, std::string& error)
{
    bool hex = id.size() == 32;
    for (char& c : id) {
        hex = hex && std::isxdigit(static_cast<unsigned char>(c));
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (!hex)
        error = "a \"CID\" is not 32 hexadecimal digits";
    return hex;
}

std::optional<ModuleClass> readClass(const json& entry, const std::string& factoryVendor, std::string& error)
{
    if (!entry.is_object()) {
        error = "\"Classes\" holds something other than objects";
        return std::nullopt;
    }
    ModuleClass read;
    if (!readString(entry, "CID", true, read.classId, error) || !normalizeClassId(read.classId, error) ||
        !readString(entry, "Name", true, read.name, error) ||
        !readString(entry, "Category", true, read.category, error) ||
        !readString(entry, "Vendor", false, read.vendor, error) ||
        !readString(entry, "Version", false, read.version, error) ||
        !readSubCategories(entry, read.subCategories, error))
        return std::nullopt;
    // A class's vendor overrides the factory's, as in PClassInfo2.
    if (read.vendor.empty())
        read.vendor = factoryVendor;
    return read;
}

std::optional<std::vector<ModuleClass>> readClasses(const json& root, std::string& error)
{
    if (!root.is_object()) {
        error = "not a JSON object";
        return std::nullopt;
    }
    std::string factoryVendor;
    const auto factory = root.find("Factory Info");
    if (factory != root.end()) {
        if (!factory->is_object()) {
            error = "\"Factory Info\" is not an object";
            return std::nullopt;
        }
        if (!readString(*factory, "Vendor", false, factoryVendor, error))
            return std::nullopt;
    }
    const auto classes = root.find("Classes");
    if (classes == root.end() || !classes->is_array()) {
        error = "no \"Classes\" array";
        return std::nullopt;
    }
    std::vector<ModuleClass> result;
    for (const json& entry : *classes) {
        std::optional<ModuleClass> read = readClass(entry, factoryVendor, error);
        if (!read)
            return std::nullopt;
        result.push_back(std::move(*read));
    }
    return result;
}

} // namespace

std::optional<std::filesystem::path> findModuleInfo(const std::filesystem::path& package)
{
    for (const std::filesystem::path& candidate :
         {package / "Contents" / "Resources" / "moduleinfo.json", package / "Contents" / "moduleinfo.json"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return std::nullopt;
}

std::optional<std::vector<ModuleClass>> parseModuleInfo(std::string_view text, std::string& error)
{
    const std::optional<std::string> strict = strictJson(text, error);
    if (!strict)
        return std::nullopt;
    const json root = json::parse(*strict, nullptr, false);
    if (root.is_discarded()) {
        error = "not JSON (or not UTF-8)";
        return std::nullopt;
    }
    return readClasses(root, error);
}

std::optional<std::vector<ModuleClass>> readModuleInfo(const std::filesystem::path& file, std::string& error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot be opened";
        return std::nullopt;
    }
    // Read in pieces up to one byte past the limit, whatever size the folder
    // listing claims.
    std::string text;
    char piece[1 << 16];
    while (text.size() <= kLargestModuleInfo && in.read(piece, sizeof piece).gcount() > 0)
        text.append(piece, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        error = "cannot be read";
        return std::nullopt;
    }
    if (text.size() > kLargestModuleInfo) {
        error = "larger than " + std::to_string(kLargestModuleInfo >> 20) + " MiB";
        return std::nullopt;
    }
    return parseModuleInfo(text, error);
}

} // namespace talven::apply
