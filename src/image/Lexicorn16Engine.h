#pragma once

#include "image/OffsetTableEngine.h"

namespace lexicorn {

/// Images with 16-bit string offsets (LXN16): at most 64 KB of string data.
class Lexicorn16Engine final : public OffsetTableEngine {
  public:
    static constexpr std::uint64_t kDataCapacity = 65536;
    Lexicorn16Engine() : OffsetTableEngine(TableType::k16Bit, 2, "LXN16 Engine v.1.0") {}

  protected:
    std::uint64_t DataCapacity(std::uint64_t) const override { return kDataCapacity; }
};

}  // namespace lexicorn
