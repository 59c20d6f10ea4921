#pragma once

#include <QString>

#include "base/SettingChoices.h"

namespace lexicorn::gui {

/// The label a setting's choice shows in the dialogs.
template <typename Enum>
QString Label(const SettingChoice<Enum>& choice) {
    return QString::fromUtf8(choice.label.data(), static_cast<qsizetype>(choice.label.size()));
}

/// The label of the choice of `choices` that stands for `value`.
template <typename Enum, std::size_t N>
QString LabelOf(const SettingChoice<Enum> (&choices)[N], Enum value) {
    for (const SettingChoice<Enum>& choice : choices)
        if (choice.value == value) return Label(choice);
    return {};
}

}  // namespace lexicorn::gui
