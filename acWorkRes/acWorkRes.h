// The resource-section updater: the public operations used by the skin build.
//
// The three update calls take the shape of the Windows resource-update calls:
// BeginResourceUpdate gives a handle or nullptr (reason in platform::LastError()),
// UpdateResourceItem and EndResourceUpdate give true or false. Nothing is thrown
// across this boundary. Only one update needs to be open at a time, but several
// may be: temporary-file names carry the process id and the node's address.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace acWorkRes {

constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtString = 6;
constexpr std::uint16_t kRtRcData = 10;
constexpr std::uint16_t kRtGroupIcon = 14;

// A resource type or name: a 16-bit number or a UTF-16 name (never both).
class ResourceId {
public:
    ResourceId(std::uint16_t number) : number_(number) {} // NOLINT: numbers convert freely
    ResourceId(std::u16string name) : name_(std::move(name)), isName_(true) {} // NOLINT
    ResourceId(const char16_t* name) : name_(name), isName_(true) {}           // NOLINT

    bool IsName() const { return isName_; }
    std::uint16_t Number() const { return number_; }
    const std::u16string& Name() const { return name_; }

    friend bool operator==(const ResourceId&, const ResourceId&) = default;

private:
    std::uint16_t number_ = 0;
    std::u16string name_;
    bool isName_ = false;
};

struct ResourceUpdateHandle; // opaque to callers

// Opens the module for update (exclusive, mapped) and reads its resource tree.
// nullptr on failure with the last error: the open's code, or 2 when the module
// has no resource section (or one that cannot be read safely).
ResourceUpdateHandle* BeginResourceUpdate(const std::u16string& fileName, bool DeleteExisting);

// Adds or replaces (data != nullptr) or deletes (data == nullptr) one resource
// in the tree. True on success and for a nullptr handle; false when the work was
// interrupted (memory, temporary file) or an identifier is an empty name, with
// the tree as it was before the call.
bool UpdateResourceItem(ResourceUpdateHandle* handle, const ResourceId& type,
                        const ResourceId& name, std::uint16_t language, const std::uint8_t* data,
                        std::uint32_t size);

// The temporary file (data over 32 KiB waits in one until the commit) that
// the last failed UpdateResourceItem of this thread, or of an icon import,
// could not create (Creating) or write; no FileName when that call failed
// for another reason (memory, a full directory, a refused identifier: the
// last error says which) or when it succeeded. The reason is the thread's
// last error as the failed call left it.
struct TempFileFailure {
    std::string FileName; // in the system's ANSI code page
    bool Creating = false;
};
const TempFileFailure& LastTempFileFailure();

// Commits (Discard false) or throws away (Discard true) the update, and always
// releases it. True after a discard or a good commit; false when the commit
// failed, with the last error of the step that failed. A failed commit leaves
// the module exactly as it was wherever the failure came before its first
// byte changed: the disk space the module grows by is set aside first, so a
// full disk or a file-size limit is such a failure. A later one (a file
// system that can set nothing aside, a system fault) leaves a module that is
// no longer whole.
bool EndResourceUpdate(ResourceUpdateHandle* handle, bool Discard);

// AddIconFromFile's result when the images find no free RT_ICON ID up to 65535
// (ERROR_NO_MORE_ITEMS on Windows; elsewhere that code with bit 29 set, as the
// platform layer marks the codes errno lacks).
#ifdef _WIN32
constexpr std::uint32_t kErrorNoFreeIconId = 259;
#else
constexpr std::uint32_t kErrorNoFreeIconId = 0x20000103;
#endif

// Imports an .ico file as RT_ICON images plus an RT_GROUP_ICON directory named
// `name`, replacing a group of that name and language with its images. 0 on
// success and when the file cannot be read; otherwise an error code (a file
// that is no usable icon gives platform::kErrorInvalidData, a full ID range
// kErrorNoFreeIconId; both change nothing).
std::uint32_t AddIconFromFile(ResourceUpdateHandle* handle, const ResourceId& name,
                              std::uint16_t language, const std::u16string& fileName);

// AddIconFromFile on the bytes of an icon file that the caller has read in
// full (shared for reading and writing, as AddIconFromFile opens it). The
// bytes are not referred to after the call returns.
std::uint32_t AddIconFromImage(ResourceUpdateHandle* handle, const ResourceId& name,
                               std::uint16_t language, std::span<const std::uint8_t> file);

} // namespace acWorkRes
