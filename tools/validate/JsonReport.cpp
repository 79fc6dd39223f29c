#include "RunReport.h"

#include "Text.h"

#include <string>

namespace talven::validate {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
std::size_t utf8Length(const std::string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    std::uint32_t cp = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        return 0;
    return length;
}

// A JSON string; bytes that are not UTF-8 become U+FFFD.
std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t length = utf8Length(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

std::string list(const std::vector<std::string>& texts)
{
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i)
        out += (i ? ", " : "") + quoted(texts[i]);
    return out + "]";
}

std::string leftover(std::int64_t count)
{
    return count < 0 ? "null" : std::to_string(count);
}

void printCheckObject(std::FILE* out, const CheckResult& check, bool last)
{
    std::fprintf(out,
                 "    {\"name\": %s, \"result\": \"%s\", \"operations\": %llu, \"failures\": %llu, "
                 "\"seconds\": %s, \"handlesLeft\": %s, \"dspsLeft\": %s,\n"
                 "     \"summary\": %s,\n     \"problems\": %s,\n     \"flags\": %s}%s\n",
                 quoted(check.name).c_str(), statusName(check.status),
                 static_cast<unsigned long long>(check.operations), static_cast<unsigned long long>(check.failures),
                 fixed(check.seconds, 3).c_str(), leftover(check.handlesLeft).c_str(),
                 leftover(check.dspsLeft).c_str(), quoted(check.summary).c_str(), list(check.problems).c_str(),
                 list(check.flags).c_str(), last ? "" : ",");
}

} // namespace

void printJson(std::FILE* out, const RunReport& report)
{
    std::fprintf(out, "{\n  \"tool\": \"talven-validate\",\n  \"plugin\": %s,\n  \"seed\": %llu,\n",
                 quoted(report.plugin).c_str(), static_cast<unsigned long long>(report.seed));
    std::fprintf(out, "  \"stormSeconds\": %s,\n  \"threads\": %d,\n  \"checks\": [\n",
                 fixed(report.stormSeconds, 3).c_str(), report.threads);
    for (std::size_t i = 0; i < report.checks.size(); ++i)
        printCheckObject(out, report.checks[i], i + 1 == report.checks.size());
    std::fprintf(out,
                 "  ],\n  \"summary\": {\"passed\": %d, \"flagged\": %d, \"failed\": %d, \"skipped\": %d, "
                 "\"seconds\": %s},\n  \"exitCode\": %d\n}\n",
                 report.count(Status::Pass), report.count(Status::Flag), report.count(Status::Fail),
                 report.count(Status::Skip), fixed(report.seconds, 3).c_str(), report.exitCode());
    std::fflush(out);
}

} // namespace talven::validate
