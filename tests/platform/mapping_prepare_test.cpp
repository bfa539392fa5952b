// The write hint of a mapping changes no byte, whatever range it is given,
// and the view stays usable after it.
#include "platform/platform.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(MappingPrepareForWriting, ChangesNoByteForAnyRange) {
    const ksbtest::ScratchFolder scratch;
    const fs::path path = scratch.Path("prepare.bin");
    std::vector<std::uint8_t> content(3 * 4096 + 123);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 13 + 1);
    ksbtest::WriteFile(path, content);
    {
        platform::File file =
            platform::OpenExisting(path.u16string(), platform::OpenMode::ExclusiveReadWrite);
        platform::Mapping view = platform::MapWholeFile(file, true);
        ASSERT_TRUE(view.IsMapped());
        const std::uint64_t size = view.Size();
        const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
            {0, 0},        {0, size},  {5, 4096},    {4095, 2},
            {size - 1, 1}, {size, 10}, {100, ~0ull}, {~0ull, ~0ull}};
        for (const auto& [offset, length] : ranges)
            view.PrepareForWriting(offset, length);
        EXPECT_EQ(std::memcmp(content.data(), view.Data(), content.size()), 0);
        view.Data()[4096] = 'w'; // still writable
        content[4096] = 'w';
    }
    EXPECT_EQ(ksbtest::ReadFile(path), content);
    platform::Mapping empty;
    empty.PrepareForWriting(0, 100); // no view: nothing to do
}

} // namespace
