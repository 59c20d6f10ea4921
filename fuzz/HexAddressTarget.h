#pragma once

#include <fmt/format.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "FuzzCheck.h"
#include "merge/MergeCommand.h"

// The merge address as typed (after the merger made it upper case): digits and A-F, leading zeros
// allowed, at most 32 bits of value. Checked against a reading of its own, and printed and read
// back whenever it is accepted.
inline int FuzzHexAddress(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::uint32_t> value = lexicorn::ParseHexAddress(text);

    std::optional<std::uint32_t> expected;
    const std::size_t start = text.find_first_not_of('0');
    const std::string_view significant = start == std::string_view::npos ? "" : text.substr(start);
    if (!text.empty() && significant.size() <= 8 &&
        significant.find_first_not_of("0123456789ABCDEF") == std::string_view::npos) {
        std::uint32_t number = 0;
        for (char c : significant)
            number = number * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
        expected = number;
    }
    FUZZ_CHECK(value == expected, "the address as digits and A-F read it");

    if (value) {
        for (const std::string& printed : {fmt::format("{:X}", *value), fmt::format("{:08X}", *value)})
            FUZZ_CHECK(lexicorn::ParseHexAddress(printed) == value, "printed and read back");
        FUZZ_CHECK(!lexicorn::ParseHexAddress(fmt::format("{:X}0", *value)) == (*value > 0x0FFFFFFF),
                   "one more digit");
    }
    return 0;
}
