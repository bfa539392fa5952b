#include "support/module_validator.h"

#include "acWorkRes/byte_reader.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string_view>

namespace ksbtest {

namespace {

using acWorkRes::ByteReader;
using acWorkRes::RangeInside;

constexpr std::uint32_t kTop = 0x80000000u;

struct Section {
    std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0;
};

std::string Hex(std::uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << v;
    return s.str();
}

bool IsPowerOfTwo(std::uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

std::uint64_t AlignUp(std::uint64_t v, std::uint32_t unit) {
    return unit == 0 ? v : (v + unit - 1) / unit * unit;
}

class Validator {
public:
    Validator(std::span<const std::uint8_t> file, const ValidationOptions& options)
        : in_(file), options_(options) {}

    std::vector<std::string> Run() {
        if (Headers() && ResourceSection())
            Resources();
        return std::move(problems_);
    }

    std::vector<ResourceLeaf> Leaves() {
        if (Headers() && ResourceSection()) {
            std::vector<std::uint32_t> path;
            Directory(0, 0, path, {}, {});
        }
        return std::move(leaves_);
    }

private:
    template <typename... T> void Problem(T&&... parts) {
        std::ostringstream s;
        (s << ... << parts);
        problems_.push_back(s.str());
    }

    std::uint32_t U32(std::uint64_t at) { return in_.U32(at).value_or(0); }
    std::uint16_t U16(std::uint64_t at) { return in_.U16(at).value_or(0); }

    bool Headers() {
        if (in_.U16(0) != 0x5A4D) {
            Problem("no MZ signature");
            return false;
        }
        auto lfanew = in_.U32(0x3C);
        if (!lfanew || !in_.Has(*lfanew, 4 + 20 + 224) || in_.U32(*lfanew) != 0x00004550u) {
            Problem("PE signature or headers outside the file");
            return false;
        }
        pe_ = *lfanew;
        const std::uint64_t opt = pe_ + 24;
        if (U16(pe_ + 20) != 224 || U16(opt) != 0x10B) {
            Problem("not a PE32 optional header of 224 bytes");
            return false;
        }
        sectionAlignment_ = U32(opt + 32);
        fileAlignment_ = U32(opt + 36);
        if (!IsPowerOfTwo(sectionAlignment_) || !IsPowerOfTwo(fileAlignment_))
            Problem("alignment not a power of two: ", Hex(sectionAlignment_), " ",
                    Hex(fileAlignment_));
        const std::uint16_t count = U16(pe_ + 6);
        const std::uint64_t table = opt + 224;
        if (!in_.Has(table, 40ull * count)) {
            Problem("section table outside the file");
            return false;
        }
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint64_t h = table + 40ull * i;
            sections_.push_back({U32(h + 8), U32(h + 12), U32(h + 16), U32(h + 20)});
        }
        const std::uint32_t sizeOfHeaders = U32(opt + 60);
        if (sizeOfHeaders > in_.Size() || table + 40ull * count > sizeOfHeaders)
            Problem("headers do not fit SizeOfHeaders");
        // Raw ranges inside the file and apart from each other and the headers.
        std::vector<std::pair<std::uint64_t, std::uint64_t>> raw;
        std::uint64_t imageEnd = AlignUp(sizeOfHeaders, sectionAlignment_);
        for (std::size_t i = 0; i < sections_.size(); ++i) {
            const Section& s = sections_[i];
            if (s.rawSize != 0) {
                if (!RangeInside(s.rawPointer, s.rawSize, in_.Size()))
                    Problem("section ", i, " raw range ", Hex(s.rawPointer), "+", Hex(s.rawSize),
                            " outside the file of ", Hex(in_.Size()));
                raw.emplace_back(s.rawPointer, std::uint64_t{s.rawPointer} + s.rawSize);
            }
            const std::uint64_t vEnd =
                std::uint64_t{s.virtualAddress} +
                AlignUp(std::max(s.virtualSize, s.rawSize), sectionAlignment_);
            if (i > 0 && s.virtualAddress < imageEnd)
                Problem("section ", i, " overlaps the one before in the image");
            imageEnd = std::max(imageEnd, vEnd);
        }
        std::sort(raw.begin(), raw.end());
        for (std::size_t i = 1; i < raw.size(); ++i)
            if (raw[i].first < raw[i - 1].second)
                Problem("raw section ranges overlap at ", Hex(raw[i].first));
        if (!raw.empty() && raw.front().first < sizeOfHeaders)
            Problem("a section's raw data overlaps the headers");
        if (!sections_.empty() && U32(opt + 56) != imageEnd)
            Problem("SizeOfImage ", Hex(U32(opt + 56)),
                    " is not the aligned end of the last section ", Hex(imageEnd));
        if (options_.checkChecksum) {
            const std::uint32_t stored = U32(opt + 64);
            const std::uint32_t computed = ComputeImageChecksum(in_.Bytes());
            if (stored != computed)
                Problem("CheckSum ", Hex(stored), " but the file sums to ", Hex(computed));
        }
        return true;
    }

    bool ResourceSection() {
        const std::uint64_t opt = pe_ + 24;
        resourceRva_ = U32(opt + 96 + 2 * 8);
        resourceSize_ = U32(opt + 96 + 2 * 8 + 4);
        if (resourceRva_ == 0)
            return false;
        for (const Section& s : sections_) {
            if (s.virtualAddress == resourceRva_) {
                section_ = s;
                if (resourceSize_ > s.rawSize || resourceSize_ > s.virtualSize ||
                    !RangeInside(s.rawPointer, s.rawSize, in_.Size())) {
                    Problem("resource directory of ", Hex(resourceSize_),
                            " bytes not inside the section's raw bytes");
                    return false;
                }
                auto bytes = in_.Slice(s.rawPointer, resourceSize_);
                rsrc_ = ByteReader(*bytes);
                return true;
            }
        }
        Problem("no section starts at the resource directory ", Hex(resourceRva_));
        return false;
    }

    // Walks one directory; `path` holds the tables being walked (no entry may
    // point back into one of them).
    void Directory(std::uint32_t offset, int depth, std::vector<std::uint32_t>& path,
                   const std::vector<std::uint32_t>& ids,
                   const std::vector<std::u16string>& names) {
        if (!rsrc_.Has(offset, 16)) {
            Problem("directory table at ", Hex(offset), " outside the section");
            return;
        }
        const std::uint32_t named = rsrc_.U16(offset + 12).value_or(0);
        const std::uint32_t numbered = rsrc_.U16(offset + 14).value_or(0);
        if (!rsrc_.Has(offset + 16, 8ull * (named + numbered))) {
            Problem("directory entries at ", Hex(offset), " outside the section");
            return;
        }
        // Every entry of a tree stands in a table of its own; a walk that
        // meets more entries than the section can hold shares tables.
        visited_ += named + numbered;
        if (visited_ > rsrc_.Size() / 8 + 1) {
            Problem("directory tables shared between entries at ", Hex(offset));
            return;
        }
        path.push_back(offset);
        std::u16string lastName;
        std::int64_t lastId = -1;
        for (std::uint32_t i = 0; i < named + numbered; ++i) {
            const std::uint64_t e = offset + 16 + 8ull * i;
            const std::uint32_t name = rsrc_.U32(e).value_or(0);
            const std::uint32_t target = rsrc_.U32(e + 4).value_or(0);
            const bool isNamed = (name & kTop) != 0;
            std::u16string text;
            std::uint32_t id = 0;
            if (i < named) {
                if (!isNamed) {
                    Problem("numbered entry among the named ones at ", Hex(e));
                    continue;
                }
                text = NameAt(name & ~kTop);
                if (i > 0 && !(lastName < text))
                    Problem("named entries not in ascending code-unit order at ", Hex(e));
                lastName = text;
            } else {
                if (isNamed) {
                    Problem("named entry after the numbered ones at ", Hex(e));
                    continue;
                }
                id = name;
                if (static_cast<std::int64_t>(id) <= lastId)
                    Problem("numbered entries not ascending at ", Hex(e));
                lastId = id;
            }
            std::vector<std::uint32_t> childIds = ids;
            std::vector<std::u16string> childNames = names;
            childIds.push_back(i < named ? ResourceLeaf::kNamed : id);
            childNames.push_back(text);
            const std::uint32_t childOffset = target & ~kTop;
            if (target & kTop) {
                if (std::find(path.begin(), path.end(), childOffset) != path.end() ||
                    childOffset <= offset) {
                    Problem("entry at ", Hex(e), " points back into a directory being walked");
                    continue;
                }
                // Types, names, then languages, whose entries are data: a
                // directory where a language belongs, even an empty one,
                // breaks the three levels the loader walks.
                if (depth >= 2)
                    Problem("directory where a language belongs at ", Hex(e));
                else
                    Directory(childOffset, depth + 1, path, childIds, childNames);
            } else {
                if (depth != 2)
                    Problem("data entry at depth ", depth, " at ", Hex(e));
                else
                    DataEntry(childOffset, childIds, childNames);
            }
        }
        path.pop_back();
    }

    std::u16string NameAt(std::uint32_t offset) {
        auto length = rsrc_.U16(offset);
        if (!length || !rsrc_.Has(offset + 2, 2ull * *length)) {
            Problem("name at ", Hex(offset), " outside the section");
            return {};
        }
        std::u16string s;
        for (std::uint32_t i = 0; i < *length; ++i)
            s.push_back(static_cast<char16_t>(rsrc_.U16(offset + 2 + 2ull * i).value_or(0)));
        return s;
    }

    void DataEntry(std::uint32_t offset, const std::vector<std::uint32_t>& ids,
                   const std::vector<std::u16string>& names) {
        if (!rsrc_.Has(offset, 16)) {
            Problem("data entry at ", Hex(offset), " outside the section");
            return;
        }
        const std::uint32_t rva = rsrc_.U32(offset).value_or(0);
        const std::uint32_t size = rsrc_.U32(offset + 4).value_or(0);
        if (rva < resourceRva_ || !RangeInside(rva - resourceRva_, size, resourceSize_)) {
            Problem("data at ", Hex(rva), "+", Hex(size), " outside the resource section");
            return;
        }
        auto data = rsrc_.Slice(rva - resourceRva_, size);
        leaves_.push_back(ResourceLeaf{ids[0], names[0], ids[1], names[1], ids[2],
                                       std::vector<std::uint8_t>(data->begin(), data->end())});
    }

    void Resources() {
        std::vector<std::uint32_t> path;
        Directory(0, 0, path, {}, {});
        std::set<std::uint32_t> iconIds;
        for (const ResourceLeaf& l : leaves_)
            if (l.type == 3 && l.name != ResourceLeaf::kNamed)
                iconIds.insert(l.name);
        for (const ResourceLeaf& l : leaves_) {
            ByteReader d(l.data);
            if (l.type == 6 && options_.checkStringBlocks) {
                std::uint64_t pos = 0;
                std::size_t count = 0;
                while (pos < d.Size()) {
                    auto length = d.U16(pos);
                    if (!length || !d.Has(pos + 2, 2ull * *length)) {
                        pos = d.Size() + 1;
                        break;
                    }
                    pos += 2 + 2ull * *length;
                    ++count;
                }
                if (pos != d.Size() || count < 16)
                    Problem("string block ", l.name, " holds ", count,
                            " strings and does not fill its ", d.Size(), " bytes exactly");
            }
            if (l.type == 14 && options_.checkIconGroups) {
                const std::uint32_t count = d.U16(4).value_or(0);
                if (d.Size() != 6 + 14ull * count) {
                    Problem("icon group of ", d.Size(), " bytes for ", count, " images");
                    continue;
                }
                for (std::uint32_t k = 0; k < count; ++k) {
                    const std::uint32_t nid = d.U16(6 + 14ull * k + 12).value_or(0);
                    if (!iconIds.count(nid))
                        Problem("icon group names RT_ICON ", nid, ", which is missing");
                }
            }
        }
    }

    ByteReader in_;
    ValidationOptions options_;
    std::vector<std::string> problems_;
    std::uint64_t pe_ = 0;
    std::uint32_t sectionAlignment_ = 0, fileAlignment_ = 0;
    std::vector<Section> sections_;
    std::uint32_t resourceRva_ = 0, resourceSize_ = 0;
    Section section_;
    ByteReader rsrc_;
    std::vector<ResourceLeaf> leaves_;
    std::uint64_t visited_ = 0;
};

} // namespace

std::uint32_t ComputeImageChecksum(std::span<const std::uint8_t> file) {
    ByteReader in(file);
    std::uint64_t checksumAt = 0;
    if (auto lfanew = in.U32(0x3C))
        checksumAt = std::uint64_t{*lfanew} + 24 + 64;
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < file.size(); i += 2) {
        std::uint32_t word = file[i];
        if (i + 1 < file.size())
            word |= std::uint32_t{file[i + 1]} << 8;
        if (i >= checksumAt && i < checksumAt + 4)
            word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = ((sum & 0xFFFF) + (sum >> 16)) & 0xFFFF;
    return static_cast<std::uint32_t>(sum + file.size());
}

std::vector<std::string> ValidateModule(std::span<const std::uint8_t> file,
                                        const ValidationOptions& options) {
    return Validator(file, options).Run();
}

std::vector<ResourceLeaf> ListResources(std::span<const std::uint8_t> file) {
    return Validator(file, {.checkChecksum = false}).Leaves();
}

} // namespace ksbtest
