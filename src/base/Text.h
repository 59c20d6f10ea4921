#pragma once

#include <string>

namespace lexicorn {

/// The system's messages separate their lines with carriage returns, as the spreadsheet world
/// does; terminals and Qt's labels break at line feeds. A CR LF pair counts as one break.
std::string WithLineFeeds(std::string text);

}  // namespace lexicorn
