// A CSV file as a side (RFC 4180): a header row naming the columns, fields
// quoted with '"' when they hold the delimiter, a quote or a line break.

#include <cstdio>
#include <memory>

#include "foxpro/text/code_page.h"
#include "foxpro/text/code_page_name.h"
#include "sides/side_stream.h"

namespace quorvel::sides {

namespace {

class CsvSide : public SideStream {
  public:
    explicit CsvSide(const SideUri& side)
        : name_(side.location),
          delimiter_(side.parameter("delimiter", ",")[0]),
          nullMark_(side.parameter("null")),
          hasNullMark_(side.hasParameter("null")) {
        if (side.hasParameter("encoding")) {
            codePage_ = foxpro::codePageNamed(side.parameter("encoding"));
            if (codePage_ == 0 || !foxpro::canConvertCodePage(codePage_))
                throw SideError(side.text + ": encoding '" + side.parameter("encoding") +
                                "' is not a code page this system converts");
        }
        file_ = std::fopen(name_.c_str(), "rb");
        if (!file_) throw SideError(name_ + ": cannot be opened for reading");
        std::vector<std::string> fields;
        if (!readRecord(fields)) throw SideError(name_ + ": the file is empty (no header row)");
        if (side.parameter("header", "yes") == "yes") {
            for (auto& f : fields) columns_.push_back({decoded(f), "text"});
        } else {
            // Without a header the columns are the fields in order, named
            // by their positions.
            for (std::size_t i = 0; i < fields.size(); ++i)
                columns_.push_back({std::to_string(i + 1), "text"});
            pending_ = std::move(fields);
            havePending_ = true;
        }
    }
    ~CsvSide() override {
        if (file_) std::fclose(file_);
    }

    bool next(std::vector<SideCell>& row) override {
        std::vector<std::string>& fields = scratch_;
        if (havePending_) {
            fields = std::move(pending_);
            havePending_ = false;
        } else if (!readRecord(fields)) {
            return false;
        }
        ++record_;
        if (fields.size() != columns_.size())
            throw SideError(name_ + ": line " + std::to_string(line_) + " has " +
                            std::to_string(fields.size()) + " fields where the header has " +
                            std::to_string(columns_.size()));
        row.resize(fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            SideCell& cell = row[i];
            cell.storage = CellStorage::Text;
            cell.text = decoded(fields[i]);
            cell.null = hasNullMark_ ? cell.text == nullMark_ && !quoted_[i] : cell.text.empty();
            // "" quoted is empty text; unquoted emptiness is null or empty alike.
            cell.blank = !hasNullMark_ && cell.text.empty() && !quoted_[i];
            if (!hasNullMark_ && quoted_[i]) cell.null = false;
            if (cell.null) cell.text.clear();
        }
        return true;
    }

  private:
    int get() {
        if (pos_ == size_) {
            size_ = std::fread(buffer_, 1, sizeof buffer_, file_);
            pos_ = 0;
            if (size_ == 0) {
                if (std::ferror(file_)) throw SideError(name_ + ": read error");
                return EOF;
            }
        }
        return static_cast<unsigned char>(buffer_[pos_++]);
    }

    // One record of fields; false at the end of the file.
    bool readRecord(std::vector<std::string>& fields) {
        fields.clear();
        quoted_.clear();
        int c = get();
        if (first_) {
            first_ = false;
            // A UTF-8 byte order mark is no part of the first name.
            if (c == 0xEF) {
                if (get() != 0xBB || get() != 0xBF)
                    throw SideError(name_ + ": starts with a broken byte order mark");
                c = get();
            }
        }
        if (c == EOF) return false;
        ++line_;
        const int startLine = line_;
        std::string field;
        bool quoted = false;
        for (;;) {
            if (c == '"' && field.empty() && !quoted) {
                quoted = true;
                for (;;) {
                    c = get();
                    if (c == EOF)
                        throw SideError(name_ + ": line " + std::to_string(startLine) +
                                        ": a quoted field runs to the end of the file");
                    if (c == '"') {
                        c = get();
                        if (c != '"') break;
                    }
                    if (c == '\n') ++line_;
                    field += static_cast<char>(c);
                }
                continue;
            }
            if (c == delimiter_ || c == '\n' || c == EOF || c == '\r') {
                if (c == '\r') {
                    c = get();
                    if (c != '\n' && c != EOF)
                        throw SideError(name_ + ": line " + std::to_string(line_) +
                                        ": a lone carriage return outside quotes");
                }
                fields.push_back(std::move(field));
                quoted_.push_back(quoted);
                field.clear();
                quoted = false;
                if (c == '\n' || c == EOF) return true;
                c = get();
                continue;
            }
            if (quoted)
                throw SideError(name_ + ": line " + std::to_string(line_) +
                                ": text after the closing quote of a field");
            field += static_cast<char>(c);
            c = get();
        }
    }

    std::string decoded(const std::string& bytes) const {
        if (codePage_ == 0 || foxpro::isAscii(bytes)) return bytes;
        return foxpro::decodeText(codePage_, bytes);
    }

    std::string name_;
    char delimiter_;
    std::string nullMark_;
    bool hasNullMark_;
    int codePage_ = 0;
    std::FILE* file_ = nullptr;
    char buffer_[1 << 16];
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool first_ = true;
    int line_ = 0;
    std::int64_t record_ = 0;
    std::vector<std::string> scratch_;
    std::vector<std::string> pending_;
    bool havePending_ = false;
    std::vector<bool> quoted_;
};

}  // namespace

std::unique_ptr<SideStream> openCsvSide(const SideUri& side) {
    return std::make_unique<CsvSide>(side);
}

}  // namespace quorvel::sides
