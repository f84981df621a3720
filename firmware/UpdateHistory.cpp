#include "firmware/UpdateHistory.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <utility>
#include <variant>

#include "firmware/UserMessages.h"
#include "platform/HistoryFile.h"

namespace {

// What each key of a line holds, and where in the record it goes. The one list of keys: the
// writer goes through it in order, the reader looks keys up in it.
struct Text {
    std::string UpdateRecord::*member;
};
struct MaybeText {
    std::optional<std::string> UpdateRecord::*member;
};
struct Count {
    uint32_t UpdateRecord::*member;
};
struct Hex {
    uint32_t UpdateRecord::*member;
};
struct Seconds {
    double UpdateRecord::*member;
};
struct Flag {
    bool UpdateRecord::*member;
};
struct Result {
    UpdateResult UpdateRecord::*member;
};
using Member = std::variant<Text, MaybeText, Count, Hex, Seconds, Flag, Result>;

struct Key {
    std::string_view name;
    Member member;
    bool required = false;
};

const std::array<Key, 13> keys{{
    {"time", Text{&UpdateRecord::timeUtc}, true},
    {"serial", Text{&UpdateRecord::serialNumber}, true},
    {"variant", Text{&UpdateRecord::variant}},
    {"before", MaybeText{&UpdateRecord::before}},
    {"after", MaybeText{&UpdateRecord::after}},
    {"imageSize", Count{&UpdateRecord::imageSize}},
    {"imageCrc", Hex{&UpdateRecord::imageCrc}},
    {"imageFile", MaybeText{&UpdateRecord::imageFile}},
    {"result", Result{&UpdateRecord::result}, true},
    {"message", Text{&UpdateRecord::message}},
    {"seconds", Seconds{&UpdateRecord::seconds}},
    {"partWay", Flag{&UpdateRecord::partWay}},
    {"programVersion", Text{&UpdateRecord::programVersion}},
}};

constexpr std::array<std::pair<UpdateResult, const char*>, 4> resultNames{{
    {UpdateResult::Updated, "updated"},
    {UpdateResult::UpToDate, "up-to-date"},
    {UpdateResult::Skipped, "skipped"},
    {UpdateResult::Failed, "failed"},
}};

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// The length of the well-formed UTF-8 sequence at text[at] (1 for ASCII), 0 for none:
// overlong forms, surrogates and code points above U+10FFFF are none.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 1;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

void appendUtf8(std::string& out, uint32_t point) {
    const auto unit = [&](uint32_t bits) { out += static_cast<char>(bits); };
    if (point < 0x80) {
        unit(point);
    } else if (point < 0x800) {
        unit(0xC0 | point >> 6);
        unit(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        unit(0xE0 | point >> 12);
        unit(0x80 | (point >> 6 & 0x3F));
        unit(0x80 | (point & 0x3F));
    } else {
        unit(0xF0 | point >> 18);
        unit(0x80 | (point >> 12 & 0x3F));
        unit(0x80 | (point >> 6 & 0x3F));
        unit(0x80 | (point & 0x3F));
    }
}

void appendString(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8Length(text, at);
        if (c >= 0x80) {
            if (length)
                out.append(text.substr(at, length));
            else
                appendUtf8(out, c);
            at += length ? length : 1;
            continue;
        }
        ++at;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n' || c == '\t' || c == '\r') {
            out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

// Millisecond digits, whatever the locale (a window's locale may write a decimal comma).
void appendSeconds(std::string& out, double seconds) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text,
                                            std::isfinite(seconds) && seconds > 0 ? seconds : 0.0,
                                            std::chars_format::fixed, 3);
    out.append(text, error == std::errc() ? end : text);
}

void appendValue(std::string& out, const UpdateRecord& record, const Member& member) {
    std::visit(Overloaded{
                   [&](Text m) { appendString(out, record.*m.member); },
                   [&](MaybeText m) {
                       if (record.*m.member)
                           appendString(out, *(record.*m.member));
                       else
                           out += "null";
                   },
                   [&](Count m) { out += std::to_string(record.*m.member); },
                   [&](Hex m) { appendString(out, messages::hexText(record.*m.member)); },
                   [&](Seconds m) { appendSeconds(out, record.*m.member); },
                   [&](Flag m) { out += record.*m.member ? "true" : "false"; },
                   [&](Result m) { appendString(out, resultName(record.*m.member)); },
               },
               member);
}

// One value of a flat object: a string (its text unescaped), a number or a literal (its text
// as it stands).
struct Value {
    enum Kind { String, Number, Literal } kind;
    std::string text;
};

// Reads the flat objects the writer makes, and refuses everything else: nested values, bad
// escapes, ill-formed UTF-8, anything after the closing brace.
class ObjectReader {
public:
    explicit ObjectReader(std::string_view line) : in(line) {}

    std::optional<std::vector<std::pair<std::string, Value>>> members() {
        std::vector<std::pair<std::string, Value>> read;
        if (!take('{'))
            return std::nullopt;
        if (!take('}')) {
            do {
                std::optional<std::string> name = string();
                if (!name || !take(':'))
                    return std::nullopt;
                std::optional<Value> found = value();
                if (!found)
                    return std::nullopt;
                read.emplace_back(std::move(*name), std::move(*found));
            } while (take(','));
            if (!take('}'))
                return std::nullopt;
        }
        skipSpace();
        if (at != in.size())
            return std::nullopt;
        return read;
    }

private:
    void skipSpace() {
        while (at < in.size() && (in[at] == ' ' || in[at] == '\t' || in[at] == '\r'))
            ++at;
    }
    bool take(char c) {
        skipSpace();
        if (at < in.size() && in[at] == c) {
            ++at;
            return true;
        }
        return false;
    }

    std::optional<Value> value() {
        skipSpace();
        if (at < in.size() && in[at] == '"') {
            std::optional<std::string> text = string();
            return text ? std::optional<Value>({Value::String, std::move(*text)}) : std::nullopt;
        }
        for (const std::string_view literal : {"true", "false", "null"}) {
            if (in.substr(at).starts_with(literal)) {
                at += literal.size();
                return Value{Value::Literal, std::string(literal)};
            }
        }
        const std::size_t start = at;
        while (at < in.size() &&
               std::string_view("-+.0123456789eE").find(in[at]) != std::string_view::npos)
            ++at;
        if (at == start)
            return std::nullopt;
        return Value{Value::Number, std::string(in.substr(start, at - start))};
    }

    std::optional<std::string> string() {
        if (!take('"'))
            return std::nullopt;
        std::string out;
        while (at < in.size()) {
            const auto c = static_cast<unsigned char>(in[at]);
            const std::size_t length = utf8Length(in, at);
            if (c == '"') {
                ++at;
                return out;
            }
            if (c < 0x20 || length == 0 || (c == '\\' && !escape(out)))
                return std::nullopt;
            if (c != '\\') {
                out.append(in.substr(at, length));
                at += length;
            }
        }
        return std::nullopt;
    }

    // The escape at in[at] (its backslash) onto `out`; a \u escape of a surrogate must be a
    // high one followed by a low one.
    bool escape(std::string& out) {
        static constexpr std::pair<char, char> simple[] = {{'"', '"'},  {'\\', '\\'}, {'/', '/'},
                                                           {'b', '\b'}, {'f', '\f'},  {'n', '\n'},
                                                           {'r', '\r'}, {'t', '\t'}};
        at += 2;
        if (at > in.size())
            return false;
        const char kind = in[at - 1];
        for (const auto& [name, meaning] : simple) {
            if (kind == name) {
                out += meaning;
                return true;
            }
        }
        std::optional<uint32_t> point = kind == 'u' ? hexUnit() : std::nullopt;
        if (point && *point >= 0xD800 && *point < 0xDC00) {
            const std::optional<uint32_t> low =
                in.substr(at).starts_with("\\u") ? (at += 2, hexUnit()) : std::nullopt;
            point = low && *low >= 0xDC00 && *low < 0xE000
                        ? std::optional(0x10000 + ((*point - 0xD800) << 10) + (*low - 0xDC00))
                        : std::nullopt;
        } else if (point && *point >= 0xDC00 && *point < 0xE000) {
            point = std::nullopt;
        }
        if (point)
            appendUtf8(out, *point);
        return point.has_value();
    }

    std::optional<uint32_t> hexUnit() {
        uint32_t unit = 0;
        if (at + 4 > in.size())
            return std::nullopt;
        const auto [end, error] = std::from_chars(in.data() + at, in.data() + at + 4, unit, 16);
        if (error != std::errc() || end != in.data() + at + 4)
            return std::nullopt;
        at += 4;
        return unit;
    }

    std::string_view in;
    std::size_t at = 0;
};

template <class Number>
bool parseWhole(std::string_view text, Number& number, int base = 10) {
    const char* end = text.data() + text.size();
    std::from_chars_result parsed{};
    if constexpr (std::is_floating_point_v<Number>)
        parsed = std::from_chars(text.data(), end, number);
    else
        parsed = std::from_chars(text.data(), end, number, base);
    return parsed.ec == std::errc() && parsed.ptr == end && !text.empty();
}

// `value` into the record where `member` says, if it has the member's kind.
bool assign(UpdateRecord& record, const Member& member, const Value& value) {
    const bool string = value.kind == Value::String;
    return std::visit(
        Overloaded{
            [&](Text m) { return string && (record.*m.member = value.text, true); },
            [&](MaybeText m) {
                if (value.kind == Value::Literal && value.text == "null")
                    return (record.*m.member = std::nullopt, true);
                return string && (record.*m.member = value.text, true);
            },
            [&](Count m) {
                return value.kind == Value::Number && parseWhole(value.text, record.*m.member);
            },
            [&](Hex m) {
                return string && value.text.starts_with("0x") &&
                       parseWhole(std::string_view(value.text).substr(2), record.*m.member, 16);
            },
            [&](Seconds m) {
                return value.kind == Value::Number && parseWhole(value.text, record.*m.member) &&
                       std::isfinite(record.*m.member);
            },
            [&](Flag m) {
                const bool flag = value.kind == Value::Literal && value.text != "null";
                return flag && (record.*m.member = value.text == "true", true);
            },
            [&](Result m) {
                for (const auto& [result, name] : resultNames) {
                    if (string && value.text == name)
                        return (record.*m.member = result, true);
                }
                return false;
            },
        },
        member);
}

}  // namespace

std::string jsonStringOf(std::string_view text) {
    std::string out;
    appendString(out, text);
    return out;
}

const char* resultName(UpdateResult result) {
    for (const auto& [named, name] : resultNames) {
        if (named == result)
            return name;
    }
    return "failed";
}

std::string encodeHistoryLine(const UpdateRecord& record) {
    std::string line = "{";
    for (const Key& key : keys) {
        if (line.size() > 1)
            line += ',';
        appendString(line, key.name);
        line += ':';
        appendValue(line, record, key.member);
    }
    line += '}';
    return line;
}

std::optional<UpdateRecord> decodeHistoryLine(std::string_view line) {
    const auto members = ObjectReader(line).members();
    if (!members)
        return std::nullopt;
    UpdateRecord record;
    std::array<bool, keys.size()> seen{};
    for (const auto& [name, value] : *members) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (keys[k].name != name)
                continue;
            if (seen[k] || !assign(record, keys[k].member, value))
                return std::nullopt;
            seen[k] = true;
        }
    }
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].required && !seen[k])
            return std::nullopt;
    }
    return record;
}

std::string utcTimestamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto second = floor<seconds>(when);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss time{second - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

HistoryRead readHistory(const std::string& path) {
    HistoryRead read;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        const int error = errno;
        read.missing = error == ENOENT;
        if (!read.missing)
            read.error = std::generic_category().message(error);
        return read;
    }
    std::string line;
    for (std::size_t number = 1; std::getline(file, line); ++number) {
        // A file copied through a Windows editor ends its lines with "\r\n".
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (std::optional<UpdateRecord> record = decodeHistoryLine(line))
            read.entries.push_back({number, line, std::move(*record)});
        else
            read.skippedLines.push_back(number);
    }
    if (file.bad())
        read.error = std::make_error_code(std::errc::io_error).message();
    return read;
}

std::optional<std::string> recordUpdate(const std::optional<std::string>& path,
                                        UpdateRecord record) {
    try {
        if (record.timeUtc.empty())
            record.timeUtc = utcTimestamp(std::chrono::system_clock::now());
        if (record.programVersion.empty())
            record.programVersion = VX_VERSION;
        const std::optional<std::string> file = path ? path : platform::defaultHistoryPath();
        if (!file)
            return messages::historyWithoutHome;
        const auto failed = platform::appendLineDurably(*file, encodeHistoryLine(record), !path);
        if (failed)
            return messages::historyNotWritten(failed->path, failed->reason);
        return std::nullopt;
    } catch (const std::exception& error) {
        return messages::historyNotWritten(path.value_or(""), error.what());
    }
}
