#pragma once

#include "image/OffsetTableEngine.h"

namespace lexicorn {

/// Images with 32-bit string offsets (LXN32): the string data may average 500 bytes per slot.
class Lexicorn32Engine final : public OffsetTableEngine {
  public:
    static constexpr std::uint64_t kBytesPerSlot = 500;
    Lexicorn32Engine() : OffsetTableEngine(TableType::k32Bit, 4, "LXN32 Engine v.1.0") {}

  protected:
    std::uint64_t DataCapacity(std::uint64_t slotCount) const override { return kBytesPerSlot * slotCount; }
};

}  // namespace lexicorn
