#include "config/ConfigFile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "config/ConfigError.h"
#include "config/Json.h"
#include "protocol/Cp1251.h"
#include "protocol/Limits.h"
#include "protocol/Requests.h"
#include "protocol/Units.h"

namespace config {

namespace {

constexpr const char* Absent = "absent";

std::vector<KeyInfo> MakeKeys() {
    const ValueKind I = ValueKind::Integer;
    const ValueKind N = ValueKind::Number;
    std::vector<KeyInfo> keys = {
        {"address", I, 1, protocol::HighestAddress, false, true, nullptr},
        {"protocol", ValueKind::ProtocolName, 0, 0, false, true, "qv or modbus"},
        {"parameters", I, 0, 255, true, true, "read-only: number of measured parameters"},
        {"serial.number", I, 0, 65535, false, true, nullptr},
        {"serial.year", I, 2000, 2255, false, true, nullptr},
        {"brightness", I, 0, 2, false, true, nullptr},
        {"info", ValueKind::Text, 0, protocol::InfoTextBytes, false, true, nullptr},
    };
    static const char* const parameterKeys[3][3] = {
        {"param1.scale", "param1.unit", "param1.point"},
        {"param2.scale", "param2.unit", "param2.point"},
        {"param3.scale", "param3.unit", "param3.point"}};
    for (const auto& names : parameterKeys) {
        keys.push_back({names[0], N, 0, 0, false, true, nullptr});
        keys.push_back({names[1], I, 1, protocol::UnitCodeCount, false, true, nullptr});
        keys.push_back({names[2], I, 0, 3, false, true, "decimals shown: 3 - point"});
    }
    const std::vector<KeyInfo> rest = {
        {"setpoint.format", I, 0, 65535, true, true, "read-only: 710 = 16-bit setpoints"},
        {"setpoint.upper", I, -protocol::SetpointLimit, protocol::SetpointLimit, false, true,
         nullptr},
        {"setpoint.lower", I, -protocol::SetpointLimit, protocol::SetpointLimit, false, true,
         nullptr},
        {"speed.line1", I, protocol::LineSpeeds[0],
         protocol::LineSpeeds[protocol::LineSpeedCount - 1], false, false,
         "write-only: the instrument has no read for it"},
        {"speed.line2", I, protocol::LineSpeeds[0],
         protocol::LineSpeeds[protocol::LineSpeedCount - 1], false, false,
         "write-only: the instrument has no read for it"},
        {"iec.common_address_size", I, 1, 2, false, true, nullptr},
        {"iec.object_address_size", I, 1, 3, false, true, nullptr},
        {"iec.cause_size", I, 1, 2, false, true, nullptr},
        {"iec.type", I, 9, 21, false, true, "9, 13 or 21"},
        {"alarm.mode", I, 0, 3, false, true, nullptr},
        {"relay1.mode", I, 0, 4, false, true, nullptr},
        {"relay1.delay", I, -32768, 32767, false, true, nullptr},
        {"relay1.hysteresis", N, 0, 0, false, true, nullptr},
        {"relay2.mode", I, 0, 4, false, true, nullptr},
        {"relay2.delay", I, -32768, 32767, false, true, nullptr},
        {"relay2.hysteresis", N, 0, 0, false, true, nullptr},
    };
    keys.insert(keys.end(), rest.begin(), rest.end());
    return keys;
}

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

[[noreturn]] void Fail(int line, const std::string& message) {
    throw ConfigError(ConfigError::Reason::Invalid, "line " + std::to_string(line) + ": " + message,
                      line);
}

bool ParseLong(const std::string& text, long& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data() + (text[0] == '+' ? 1 : 0), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool ParseFloat(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted text starting at value[0] == '"'; `rest` gets what follows the closing quote.
std::string ParseQuoted(const std::string& value, int line, std::string& rest) {
    std::string text;
    for (size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            rest = Trim(value.substr(i + 1));
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= value.size()) break;
        switch (value[i]) {
            case '\\':
                text += '\\';
                break;
            case '"':
                text += '"';
                break;
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'x': {
                const int hi = i + 2 < value.size() ? HexDigit(value[i + 1]) : -1;
                const int lo = hi >= 0 ? HexDigit(value[i + 2]) : -1;
                if (lo < 0) Fail(line, "\\x needs two hex digits");
                const int code = hi * 16 + lo;
                // The byte's character in the instrument's code page.
                text += protocol::FromCp1251(std::string(1, char(code)));
                i += 2;
                break;
            }
            default:
                Fail(line, std::string("unknown escape \\") + value[i]);
        }
    }
    Fail(line, "the text has no closing quote");
}

std::string CodePointText(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(c));
    return text;
}

// "\"😀\" (U+1F600)" for a character, "the byte 0xD9" for a byte that is not UTF-8.
std::string CharacterName(const std::string& text, const protocol::Cp1251Misfit& misfit) {
    if (misfit.malformed) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", unsigned(misfit.codePoint));
        return std::string("the byte ") + hex + " (not UTF-8)";
    }
    size_t end = misfit.offset + 1;
    while (end < text.size() && (uint8_t(text[end]) & 0xC0) == 0x80) ++end;
    return "\"" + text.substr(misfit.offset, end - misfit.offset) + "\" (" +
           CodePointText(misfit.codePoint) + ")";
}

// A file saved in another encoding (Windows-1251, Latin-1) is refused as a whole: its
// letters would be taken for other characters, or for none.
void CheckUtf8(const std::string& content, int line) {
    for (size_t from = 0; from < content.size();) {
        auto misfit = protocol::FirstCp1251Misfit(content.substr(from));
        if (!misfit) return;
        misfit->offset += from;
        if (misfit->malformed)
            Fail(line, "the file is not UTF-8 text: " + CharacterName(content, *misfit) +
                           " at column " + std::to_string(misfit->offset + 1) +
                           "; save it as UTF-8");
        // A character the code page lacks may stand in a comment: go on after it.
        from = misfit->offset + 1;
        while (from < content.size() && (uint8_t(content[from]) & 0xC0) == 0x80) ++from;
    }
}

std::string Canonical(const KeyInfo& key, const std::string& value, bool quoted, int line) {
    if (key.kind == ValueKind::Text) {
        if (!quoted) Fail(line, std::string(key.name) + " needs a quoted text");
        // A character the instrument has no byte for would reach it as "?".
        if (const auto misfit = protocol::FirstCp1251Misfit(value))
            Fail(line, std::string(key.name) + ": the instrument cannot show " +
                           CharacterName(value, *misfit));
        if (protocol::ToCp1251(value).size() > size_t(key.high))
            Fail(line, std::string(key.name) + " is longer than " + std::to_string(key.high) +
                           " characters");
        // The instrument pads the text with blanks and gives them back: trailing blanks in a
        // file would never match what it reads back.
        return value.substr(0, value.find_last_not_of(' ') + 1);
    }
    if (quoted || value.empty()) Fail(line, std::string(key.name) + " needs a value");
    if (key.kind == ValueKind::ProtocolName) {
        if (value != "qv" && value != "modbus") Fail(line, "protocol must be qv or modbus");
        return value;
    }
    if (key.kind == ValueKind::Number) {
        float number = 0;
        if (!ParseFloat(value, number)) Fail(line, std::string(key.name) + " must be a number");
        return NumberText(number);
    }
    long number = 0;
    if (!ParseLong(value, number)) Fail(line, std::string(key.name) + " must be an integer");
    if (number < key.low || number > key.high)
        Fail(line, std::string(key.name) + " must be within " + std::to_string(key.low) + ".." +
                       std::to_string(key.high));
    if (std::string(key.name).rfind("speed.", 0) == 0 && protocol::SpeedCode(int32_t(number)) == 0)
        Fail(line, std::string(key.name) + " must be one of " + protocol::LineSpeedsText(", "));
    // The framing offers three ASDU types; the numbers between them mean nothing to it.
    if (std::string(key.name) == "iec.type" && number != 9 && number != 13 && number != 21)
        Fail(line, "iec.type must be one of 9, 13, 21");
    return IntegerText(number);
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            const char* digits = "0123456789ABCDEF";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string Comment(const KeyInfo& key, const std::optional<std::string>& value) {
    const std::string name = key.name;
    if (value && name.size() > 5 && name.compare(name.size() - 5, 5, ".unit") == 0) {
        const std::string unit = protocol::UnitName(int(IntegerValue(*value)));
        return unit.empty() ? std::string() : unit;
    }
    return key.note ? key.note : std::string();
}

}  // namespace

const std::vector<KeyInfo>& ConfigKeys() {
    static const std::vector<KeyInfo> keys = MakeKeys();
    return keys;
}

const KeyInfo* FindKey(const std::string& name) {
    for (const KeyInfo& key : ConfigKeys())
        if (name == key.name) return &key;
    return nullptr;
}

std::string IntegerText(long value) {
    return std::to_string(value);
}

std::string NumberText(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

long IntegerValue(const std::string& text) {
    long value = 0;
    ParseLong(text, value);
    return value;
}

float NumberValue(const std::string& text) {
    float value = 0;
    ParseFloat(text, value);
    return value;
}

std::string FormatConfig(const InstrumentConfig& config, const std::string& header) {
    std::string text;
    for (size_t start = 0; start < header.size();) {
        const size_t end = header.find('\n', start);
        text += "# " + header.substr(start, end - start) + "\n";
        start = end == std::string::npos ? header.size() : end + 1;
    }
    for (const KeyInfo& key : ConfigKeys()) {
        const auto found = config.find(key.name);
        if (found == config.end()) continue;
        const std::optional<std::string>& value = found->second;
        std::string line = std::string(key.name) + " = ";
        if (!value)
            line += Absent;
        else
            line += key.kind == ValueKind::Text ? Quoted(*value) : *value;
        const std::string comment = Comment(key, value);
        if (!comment.empty()) {
            if (line.size() < 32) line.resize(32, ' ');
            line += "  # " + comment;
        }
        text += line + "\n";
    }
    return text;
}

namespace {

[[noreturn]] void Unreadable(const std::string& path, const std::string& why) {
    throw ConfigError(ConfigError::Reason::Invalid, "cannot read " + path + ": " + why);
}

std::string TooLarge() {
    return "it is larger than " + std::to_string(LargestConfigFile / 1024) +
           " KiB, which no configuration file is";
}

#ifdef _WIN32
std::string ReadRegularFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path name = std::filesystem::u8path(path);
    const auto status = std::filesystem::status(name, error);
    if (error) Unreadable(path, error.message());
    if (!std::filesystem::is_regular_file(status)) Unreadable(path, "it is not a regular file");
    if (std::filesystem::file_size(name, error) > LargestConfigFile) Unreadable(path, TooLarge());
    std::ifstream in(name, std::ios::binary);
    if (!in) Unreadable(path, "it cannot be opened");
    std::string text(LargestConfigFile + 1, '\0');
    in.read(&text[0], std::streamsize(text.size()));
    if (in.bad()) Unreadable(path, "read error");
    text.resize(size_t(in.gcount()));
    return text;
}
#else
const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a directory";
    if (S_ISFIFO(mode)) return "it is a pipe (FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device";
    if (S_ISSOCK(mode)) return "it is a socket";
    return "it is not a regular file";
}

// Opened without blocking, so that a FIFO with no writer cannot hold the program; only
// then is the kind of file known for certain.
std::string ReadRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) Unreadable(path, std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) Unreadable(path, std::strerror(errno));
    if (!S_ISREG(info.st_mode)) Unreadable(path, KindOf(info.st_mode));
    if (size_t(info.st_size) > LargestConfigFile) Unreadable(path, TooLarge());
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Unreadable(path, std::strerror(errno));
        if (n == 0) break;
        text.append(chunk, size_t(n));
        if (text.size() > LargestConfigFile) Unreadable(path, TooLarge());  // it grew
    }
    return text;
}
#endif

}  // namespace

std::string ReadConfigFile(const std::string& path) {
    return ReadRegularFile(path);
}

InstrumentConfig ParseConfig(const std::string& text) {
    InstrumentConfig config;
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int line = 1; start <= text.size(); ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string content = Trim(text.substr(start, end - start));
        start = end + 1;
        CheckUtf8(content, line);
        if (content.empty() || content[0] == '#') continue;
        const size_t equals = content.find('=');
        if (equals == std::string::npos) Fail(line, "expected key = value");
        const std::string name = Trim(content.substr(0, equals));
        const KeyInfo* key = FindKey(name);
        if (!key) Fail(line, "unknown key \"" + name + "\"");
        if (config.count(name)) Fail(line, name + " is given twice");
        std::string value = Trim(content.substr(equals + 1));
        const bool quoted = !value.empty() && value[0] == '"';
        std::string rest;
        if (quoted) {
            value = ParseQuoted(value, line, rest);
        } else {
            rest = value.find('#') == std::string::npos ? "" : value.substr(value.find('#'));
            value = Trim(value.substr(0, value.find('#')));
        }
        if (!rest.empty() && rest[0] != '#') Fail(line, "unexpected text after the value");
        if (!quoted && value == Absent)
            config[name] = std::nullopt;
        else
            config[name] = Canonical(*key, value, quoted, line);
    }
    return config;
}

std::string ConfigJson(const InstrumentConfig& config) {
    std::string json = "{";
    for (const KeyInfo& key : ConfigKeys()) {
        const auto found = config.find(key.name);
        if (found == config.end()) continue;
        if (json.size() > 1) json += ",";
        json += JsonString(key.name) + ":";
        const std::optional<std::string>& value = found->second;
        if (!value)
            json += "null";
        else if (key.kind == ValueKind::Integer || key.kind == ValueKind::Number)
            json += *value;
        else
            json += JsonString(*value);
    }
    return json + "}";
}

}  // namespace config
