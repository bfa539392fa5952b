#include "sweep_support.h"

#include "platform/platform.h"
#include "support/temp_environment.h"

#include <system_error>

namespace sweep {

Snapshot TakeSnapshot(const fs::path& folder) {
    Snapshot files;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
        if (!entry.is_regular_file())
            continue;
        files[fs::relative(entry.path(), folder).generic_string()] =
            ksbtest::ReadFile(entry.path());
    }
    return files;
}

ExampleProgram::ExampleProgram() : ScratchFolder("program", ksbtest::PrivateTempFolder()) {
    Reset();
}

std::u16string ExampleProgram::Folder() const {
    return platform::Utf8ToUtf16(Root().string()) + u"/";
}

void ExampleProgram::Reset() {
    fs::remove_all(Root());
    fs::create_directories(Root());
    fs::copy(fs::path(KSB_SOURCE_DIR) / "examples" / "Files", Root() / "Files",
             fs::copy_options::recursive);
}

std::size_t KeptLog::Count(std::u16string_view line) const {
    std::size_t n = 0;
    for (const std::u16string& l : lines)
        n += l == line ? 1 : 0;
    return n;
}

void ExpectNothingLeftOpen(std::size_t descriptors, const std::string& when) {
    EXPECT_EQ(ksbtest::OpenDescriptorCount(), descriptors) << "descriptors left open " << when;
    for (const std::string& file : ksbtest::MappedFilesBelow(ksbtest::PrivateTempFolder()))
        ADD_FAILURE() << file << " still mapped " << when;
    for (const fs::path& file : ksbtest::UpdaterTempFiles(ksbtest::PrivateTempFolder()))
        ADD_FAILURE() << "temporary file " << file.string() << " left " << when;
}

std::string Utf8(std::u16string_view text) {
    return platform::Utf16ToUtf8(text);
}

bool IsBuildError(const std::u16string& message) {
    for (const char16_t* start : {u"Cannot create folder \"", u"Cannot create file \"",
                                  u"Cannot open file \"", u"Cannot write file \""})
        if (message.starts_with(start))
            return true;
    return false;
}

} // namespace sweep
