#pragma once

#include <QString>

namespace lexicorn::gui {

/// A count with its noun in the number it needs: "1 error", "0 errors", "2 warnings".
inline QString Counted(qsizetype count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

}  // namespace lexicorn::gui
