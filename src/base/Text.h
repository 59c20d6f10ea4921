#pragma once

#include <string>
#include <string_view>

namespace lexicorn {

/// The system's messages separate their lines with carriage returns, as the spreadsheet world
/// does; terminals and Qt's labels break at line feeds. A CR LF pair counts as one break.
std::string WithLineFeeds(std::string text);

/// Appends `text` with its control characters (below U+0020) spelled as JSON spells them: \n, \r,
/// \t, and \u001b for the rest. Text from a table that a message quotes this way cannot move the
/// cursor, retitle or clear a terminal, nor hide what the message says.
void AppendShownText(std::string& output, std::string_view text);
/// `text` as AppendShownText spells it.
std::string ShownText(std::string_view text);

}  // namespace lexicorn
