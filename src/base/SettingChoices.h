#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "base/Bytes.h"

namespace lexicorn {

/// One choice of a setting, described once for every place that names it: its value (whose
/// Code() is the number project files keep), the word the command line takes for it and the label
/// the dialogs show.
template <typename Enum>
struct SettingChoice {
    Enum value;
    std::string_view word;
    std::string_view label;
};

/// Whether `number` is the code of one of `choices`: any other number in a project file is damage.
template <typename Enum, std::size_t N>
constexpr bool IsChoiceCode(const SettingChoice<Enum> (&choices)[N], long long number) {
    return std::any_of(std::begin(choices), std::end(choices),
                       [number](const SettingChoice<Enum>& choice) { return Code(choice.value) == number; });
}

/// The choice among `choices` whose value is `value`; none for a value they do not list.
template <typename Enum, std::size_t N>
constexpr const SettingChoice<Enum>* FindChoice(const SettingChoice<Enum> (&choices)[N], Enum value) {
    const auto found =
        std::find_if(std::begin(choices), std::end(choices),
                     [value](const SettingChoice<Enum>& choice) { return choice.value == value; });
    return found == std::end(choices) ? nullptr : found;
}

inline constexpr SettingChoice<ByteOrder> kByteOrders[] = {
    {ByteOrder::kLittle, "little", "Little Endian (Intel)"},
    {ByteOrder::kBig, "big", "Big Endian (Motorola)"},
};

}  // namespace lexicorn
