#pragma once

#include "foxpro/read/memo_file.h"

namespace quorvel::foxpro {

// A dBase .dbt.  dBase III: 512-byte blocks, a memo runs to its 0x1A
// terminator.  dBase IV: the block size in the header, and a memo block
// that starts with its marker carries its length; one without the marker
// reads the dBase III way.
class DbtMemo : public MemoFile {
  public:
    DbtMemo(std::string name, std::span<const std::uint8_t> bytes,
            std::unique_ptr<platform::MappedFile> owner, bool dBase4);

  protected:
    Place locate(std::uint32_t block) const override;

  private:
    bool dBase4_;
};

}  // namespace quorvel::foxpro
