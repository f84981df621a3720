#pragma once

#include <ostream>
#include <string>
#include <vector>

// The tool's aligned tables of UTF-8 texts (history, the summary of update --all). Pure.
namespace cli {

using Row = std::vector<std::string>;

// A record's texts are UTF-8 and may have come from a file anyone may edit: control characters
// (C0, DEL, C1) are shown as '?', so that a line cannot move the cursor or recolour the screen.
std::string displayUtf8(const std::string& text);

// An update's seconds with one decimal ("3.4"), whatever the locale: the summary's, the
// history's and watch's figure.
std::string tenths(double seconds);

// The rows, the first a heading, each column padded to its widest entry by the characters it
// shows, two spaces between columns, no trailing blanks.
void writeColumns(std::ostream& out, const std::vector<Row>& rows);

}  // namespace cli
