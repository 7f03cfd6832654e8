#pragma once

#include "foxpro/read/memo_file.h"

namespace quorvel::foxpro {

// A FoxPro .fpt: a big-endian block size in its header, and every memo a
// block header (type, length) followed by its bytes.
class FptMemo : public MemoFile {
  public:
    FptMemo(std::string name, std::span<const std::uint8_t> bytes,
            std::unique_ptr<platform::MappedFile> owner);

  protected:
    Place locate(std::uint32_t block) const override;
};

}  // namespace quorvel::foxpro
