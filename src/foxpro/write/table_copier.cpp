#include "foxpro/write/table_copier.h"

#include <algorithm>
#include <cstring>

#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/text/code_page_name.h"
#include "foxpro/write/last_update.h"
#include "foxpro/write/memo_writer.h"

namespace quorvel::foxpro {

TableCopier::TableCopier(const TableReader& source, std::optional<std::int64_t> recno)
    : src_(source), recno_(recno) {
    plan();
}

void TableCopier::write(FileSink& table, FileSink* memoSink) {
    std::optional<MemoWriter> memo;
    if (memoSink) {
        int bs = src_.memoBlockSize();
        bool fpt = dbf::fileTypeInfo(src_.fileType())->memo == dbf::MemoKind::Fpt;
        memo.emplace(MemoWriter::createFpt(
            *memoSink, static_cast<std::uint16_t>(
                           fpt && bs > 0 && bs < 65536 ? bs : dbf::kFptDefaultBlockSize)));
    }
    std::int64_t first = 0, last = src_.storedCount();
    if (recno_) {
        std::int64_t index = src_.liveIndex(*recno_);
        first = index < 0 ? 0 : index;
        last = index < 0 ? 0 : index + 1;
    }
    // The header goes first with the count of records left open: the
    // count is known once the source has been walked, in one pass.
    std::vector<std::uint8_t> header = buildHeader(0);
    table.append(header.data(), header.size());
    const auto rl = static_cast<std::size_t>(src_.layout().recordLength);

    // Records go over unchanged: long runs of live records are copied by
    // the kernel from the source file (the one the reader opened, not
    // whatever its name holds now), short ones (between deleted records)
    // gathered from the reader's map into one write.
    constexpr std::uint64_t kKernelCopy = 1 << 20;
    const platform::FileReader* sourceFile = src_.file();
    std::vector<platform::WritePiece> pieces;
    std::uint64_t gathered = 0;
    auto writePieces = [&] {
        if (!pieces.empty()) table.appendPieces(pieces.data(), pieces.size());
        pieces.clear();
        gathered = 0;
    };
    auto copyRun = [&](std::int64_t index, std::int64_t length) {
        const std::uint64_t bytes = static_cast<std::uint64_t>(length) * rl;
        if (bytes < kKernelCopy || !sourceFile) {
            pieces.push_back({src_.storedRecord(index).data(), static_cast<std::size_t>(bytes)});
            gathered += bytes;
            if (pieces.size() == 1024 || gathered >= (8u << 20)) writePieces();
            return;
        }
        writePieces();
        table.appendFromFile(*sourceFile,
                             static_cast<std::uint64_t>(src_.headerLength()) +
                                 static_cast<std::uint64_t>(index) * rl,
                             bytes);
    };
    std::vector<std::uint8_t> out(static_cast<std::size_t>(recordLength_));
    auto convertRun = [&](std::int64_t index, std::int64_t length) {
        for (std::int64_t i = index; i < index + length; ++i) {
            auto rec = src_.storedRecord(i);
            if (sameRecords_) {
                std::memcpy(out.data(), rec.data(), rl);
            } else {
                out[0] = rec[0];
                for (const auto& f : fields_)
                    if (!f.memo)
                        std::memcpy(out.data() + f.offset, rec.data() + f.sourceOffset,
                                    static_cast<std::size_t>(f.width));
            }
            for (const auto& f : fields_) {
                if (!f.memo) continue;
                std::uint32_t block = 0;
                if (src_.memoBlock(rec, f.sourceIndex) != 0) {
                    MemoContent content = src_.memo(rec, f.sourceIndex);
                    if (content.present) block = memo->add(content.data, content.type);
                }
                putMemoRef(out.data() + f.offset, f.width, block);
            }
            table.append(out.data(), out.size());
        }
    };
    const bool direct = sameRecords_ && !memo;
    std::int64_t count = 0;
    auto emit = [&](std::int64_t index, std::int64_t length) {
        count += length;
        if (direct) {
            copyRun(index, length);
        } else {
            convertRun(index, length);
        }
    };

    // The source is walked in stretches of about 4 MB: the delete flags
    // of a stretch are read, its runs of live records written, and its
    // pages given back, so that the copy's memory does not grow with the
    // source.  A run that goes on past a stretch is written in parts.
    //
    // A source that shrinks or is written over meanwhile makes the copy
    // fail with the reader's "changed while it was being read", whatever
    // failed first: the write of bytes the map no longer has, the kernel
    // copy that found the file ended, or a check of the reader.
    const std::int64_t perStretch =
        std::max<std::int64_t>(1, static_cast<std::int64_t>((4u << 20) / rl));
    try {
        for (std::int64_t stretch = first; stretch < last; stretch += perStretch) {
            const std::int64_t stretchEnd = std::min(last, stretch + perStretch);
            const std::uint8_t* p = src_.storedRecord(stretch).data();
            std::int64_t runStart = -1;
            for (std::int64_t i = stretch; i < stretchEnd; ++i, p += rl) {
                const bool live = *p != dbf::kRecordDeleted;
                if (live && runStart < 0) {
                    runStart = i;
                } else if (!live && runStart >= 0) {
                    emit(runStart, i - runStart);
                    runStart = -1;
                }
            }
            if (runStart >= 0) emit(runStart, stretchEnd - runStart);
            writePieces();
            src_.walkedTo(stretchEnd);
        }
        src_.checkUnchanged();
    } catch (const FoxProError&) {
        src_.checkUnchanged();
        throw;
    }
    if (count > 0xFFFFFFFFll)
        throw FoxProError(kErrorFile, src_.fileName() + ": too many records to copy");
    std::uint8_t stored[4];
    dbf::putLe32(stored, static_cast<std::uint32_t>(count));
    table.rewriteAt(dbf::kHeaderRecordCount, stored, sizeof stored);

    const std::uint8_t eof = dbf::kEndOfFile;
    table.append(&eof, 1);
    if (memo) memo->finish();
}

// Visual FoxPro sources keep their record layout; older formats become
// Visual FoxPro records: 4-byte memo references instead of 10 digits,
// fresh descriptors (theirs hold garbage where Visual FoxPro keeps
// offsets and flags), and a dBase binary memo (B) becomes a blob (W),
// since B is a double in Visual FoxPro.
void TableCopier::plan() {
    const auto& layout = src_.layout();
    std::uint8_t type = src_.fileType();
    vfp_ = dbf::isVisualFoxPro(type);
    hasMemo_ = layout.hasMemo();
    int visible = 0;
    int offset = 1;
    for (const auto& d : src_.descriptors()) {
        CopyField f;
        bool system = d.letter == dbf::kNullFlagsLetter;
        f.sourceIndex = system ? -1 : visible++;
        f.sourceOffset = d.offset;
        f.memo = !system && dbf::isMemoLetter(d.letter, type);
        f.width = f.memo ? dbf::kMemoRefBinaryWidth : d.width;
        f.offset = vfp_ ? d.offset : offset;
        offset += f.width;
        std::array<std::uint8_t, 32> raw = d.raw;
        if (!vfp_) {
            raw.fill(0);
            std::size_t nameLen = 0;
            while (nameLen < 10 && d.raw[nameLen] != 0) ++nameLen;
            std::memcpy(raw.data(), d.raw.data(), nameLen);
            raw[dbf::kDescriptorType] =
                static_cast<std::uint8_t>(f.memo && d.letter == 'B' ? 'W' : d.letter);
            dbf::putLe32(raw.data() + dbf::kDescriptorOffset, static_cast<std::uint32_t>(f.offset));
            raw[dbf::kDescriptorLength] = static_cast<std::uint8_t>(f.width);
            raw[dbf::kDescriptorDecimals] = static_cast<std::uint8_t>(d.decimals);
        } else {
            // Offsets as the reader placed them: a source whose descriptors
            // said 0 or overlapped gives a copy that says where fields are.
            dbf::putLe32(raw.data() + dbf::kDescriptorOffset, static_cast<std::uint32_t>(f.offset));
        }
        // A character field longer than 255 keeps Clipper's form (length
        // byte + 256 x decimals byte), the only one there is for it.
        if (d.letter == 'C' && f.width > 255) {
            raw[dbf::kDescriptorLength] = static_cast<std::uint8_t>(f.width & 0xFF);
            raw[dbf::kDescriptorDecimals] = static_cast<std::uint8_t>(f.width >> 8);
        }
        descriptors_.push_back(raw);
        fields_.push_back(f);
    }
    recordLength_ = vfp_ ? layout.recordLength : offset;
    sameRecords_ = vfp_;
}

// The copy keeps the code page its source is read in.  A source's own mark
// goes over as it is; a code page that came from elsewhere (the format's
// default for an unmarked table, a .cpg file, the text, the user) is named
// by its mark, so that the copy reads the same without a guess; a code
// page no mark names (UTF-8) gets mark 0 and a .cpg file.
std::uint8_t TableCopier::codePageMark() const {
    if (src_.codePageOrigin() == CodePageOrigin::Mark) return src_.codePageMark();
    return dbf::markOfCodePage(src_.layout().codePage);
}

std::string TableCopier::cpgText() const {
    if (codePageMark() != 0) return "";
    return codePageName(src_.layout().codePage);
}

std::vector<std::uint8_t> TableCopier::buildHeader(std::uint32_t count) const {
    std::size_t length =
        dbf::kHeaderSize + descriptors_.size() * dbf::kDescriptorSize + 1 + dbf::kBacklinkSize;
    if (length > 0xFFFF)
        throw FoxProError(kErrorFile, src_.fileName() + ": too many fields to copy");
    std::vector<std::uint8_t> h(length, 0);
    std::uint8_t type = src_.fileType();
    h[dbf::kHeaderFileType] = vfp_ ? type : 0x30;
    putToday(&h[dbf::kHeaderUpdateDate]);
    dbf::putLe32(&h[dbf::kHeaderRecordCount], count);
    dbf::putLe16(&h[dbf::kHeaderLength], static_cast<std::uint16_t>(length));
    dbf::putLe16(&h[dbf::kHeaderRecordLength], static_cast<std::uint16_t>(recordLength_));
    h[dbf::kHeaderTableFlags] = hasMemo_ ? dbf::kTableFlagMemo : 0;
    h[dbf::kHeaderCodePageMark] = codePageMark();
    std::size_t at = dbf::kHeaderSize;
    for (const auto& raw : descriptors_) {
        std::memcpy(&h[at], raw.data(), raw.size());
        at += dbf::kDescriptorSize;
    }
    h[at] = dbf::kDescriptorTerminator;  // the backlink after it stays all NUL: a free table
    return h;
}

}  // namespace quorvel::foxpro
