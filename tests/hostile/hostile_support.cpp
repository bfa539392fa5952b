#include "hostile_support.h"

#include "skin/template_module.h"

#include <algorithm>

namespace hostile {

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    if (bytes.size() < at + 2)
        bytes.resize(at + 2);
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, static_cast<std::uint16_t>(value));
    Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16)) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

Bytes Template() {
    const auto bytes = skin::TemplateModule();
    return Bytes(bytes.begin(), bytes.end());
}

Bytes TemplateWithSection(Bytes section, std::uint32_t tableSize) {
    section.resize(std::max<std::size_t>(0x200, (section.size() + 0x1FF) / 0x200 * 0x200));
    Bytes module = Template();
    module.resize(kRsrcOffset);
    module.insert(module.end(), section.begin(), section.end());
    const auto raw = static_cast<std::uint32_t>(section.size());
    Put32(module, kRsrcRawSizeAt, raw);
    Put32(module, kRsrcVirtualSizeAt, tableSize);
    Put32(module, kResourceEntryAt + 4, tableSize);
    Put32(module, kSizeOfImageAt,
          kRsrcAddress + (std::max(raw, tableSize) + 0xFFF) / 0x1000 * 0x1000);
    return module;
}

void SectionBuilder::Directory(std::size_t at, std::uint16_t named, std::uint16_t ids) {
    Put32(data, at, 0);
    Put32(data, at + 4, 0);
    Put32(data, at + 8, 0);
    Put16(data, at + 12, named);
    Put16(data, at + 14, ids);
}

void SectionBuilder::Entry(std::size_t at, std::uint32_t name, std::uint32_t offset) {
    Put32(data, at, name);
    Put32(data, at + 4, offset);
}

void SectionBuilder::DataEntry(std::size_t at, std::uint32_t rva, std::uint32_t size) {
    Put32(data, at, rva);
    Put32(data, at + 4, size);
    Put32(data, at + 8, 0);
    Put32(data, at + 12, 0);
}

} // namespace hostile
