#include "cli/TextTable.h"

#include <algorithm>
#include <charconv>

namespace cli {

namespace {

// Columns as wide as the characters they show (UTF-8: every byte but continuation bytes).
std::size_t widthOf(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

std::string tenths(double seconds) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 1).ptr;
    return std::string(text, end);
}

// A record's texts are UTF-8 and came from a file anyone may edit: control characters (C0, DEL,
// C1) are shown as '?', so that a line cannot move the cursor or recolour the screen.
std::string displayUtf8(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        const bool c1 =
            c == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7F || c1) {
            out += '?';
            at += c1 ? 1 : 0;
        } else {
            out += text[at];
        }
    }
    return out;
}

void writeColumns(std::ostream& out, const std::vector<Row>& rows) {
    std::vector<std::size_t> widths(rows.front().size());
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], widthOf(row[i]));
    }
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - widthOf(row[i]) + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

}  // namespace cli
