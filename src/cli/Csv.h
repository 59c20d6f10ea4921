#pragma once

#include <string>
#include <string_view>

namespace lexicorn::cli {

/// `text` (UTF-8) as one field of a CSV record (RFC 4180): quoted, with its quotes doubled, when
/// it holds a comma, a quote or a line break; as it is otherwise.
std::string CsvField(std::string_view text);

}  // namespace lexicorn::cli
