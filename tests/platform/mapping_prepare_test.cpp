// The write hint of a mapping changes no byte, whatever range it is given,
// and the view stays usable after it.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(MappingPrepareForWriting, ChangesNoByteForAnyRange) {
    const fs::path path = fs::temp_directory_path() /
                          ("ksb-prepare-" + std::to_string(platform::ProcessId()) + ".bin");
    std::vector<char> content(3 * 4096 + 123);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 13 + 1);
    std::ofstream(path, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
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
    {
        // Closed before the file is removed: Windows keeps an open file.
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> back((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(back, content);
    }
    platform::Mapping empty;
    empty.PrepareForWriting(0, 100); // no view: nothing to do
    fs::remove(path);
}

} // namespace
