// The one door to the operating system. Everything above this layer (the
// updater, the skin compiler, the shell logic) reaches files, mappings, text
// conversion and error codes only through these declarations. One
// implementation per OS lives in posix/ and win32/.
//
// Error reporting follows the Win32 habit the updater is built on: operations
// that can fail return an invalid object or false and leave the reason in the
// thread's last-error code (GetLastError on Windows, a thread-local errno
// value on POSIX). The named codes below are the Windows codes on Windows; on
// POSIX they are the matching errno values, or, where errno has none, codes
// with bit 29 set (the bit Windows reserves for application-defined codes), so
// that no named code can be mistaken for an unrelated errno value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---------------------------------------------------------------- errors

#ifdef _WIN32
constexpr std::uint32_t kErrorFileNotFound = 2;      // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kErrorAccessDenied = 5;      // ERROR_ACCESS_DENIED
constexpr std::uint32_t kErrorNotEnoughMemory = 8;   // ERROR_NOT_ENOUGH_MEMORY
constexpr std::uint32_t kErrorInvalidData = 13;      // ERROR_INVALID_DATA
constexpr std::uint32_t kErrorSharingViolation = 32; // ERROR_SHARING_VIOLATION
constexpr std::uint32_t kErrorHandleEof = 38;        // ERROR_HANDLE_EOF
constexpr std::uint32_t kErrorBadExeFormat = 193;    // ERROR_BAD_EXE_FORMAT
constexpr std::uint32_t kErrorFileInvalid = 1006;    // ERROR_FILE_INVALID (empty file mapped)
#else
constexpr std::uint32_t kErrorFileNotFound = 2;              // ENOENT
constexpr std::uint32_t kErrorAccessDenied = 13;             // EACCES
constexpr std::uint32_t kErrorNotEnoughMemory = 12;          // ENOMEM
constexpr std::uint32_t kErrorInvalidData = 0x2000000D;      // no errno: "The data is invalid"
constexpr std::uint32_t kErrorSharingViolation = 0x20000020; // another opener holds the file
constexpr std::uint32_t kErrorHandleEof = 61;                // ENODATA: a read ran past the end
constexpr std::uint32_t kErrorBadExeFormat = 8;              // ENOEXEC
constexpr std::uint32_t kErrorFileInvalid = 0x200003EE;      // an empty file cannot be mapped
#endif

std::uint32_t LastError();
void SetLastError(std::uint32_t code);
// The system's text for an error code, without a trailing line break or full stop
// handling of its own (whatever the system gives, trailing white space removed).
std::u16string SystemErrorText(std::uint32_t code);

// ---------------------------------------------------------------- files

// How an existing file is opened.
// An open that meets a file held against it fails at once with
// kErrorSharingViolation; nothing waits.
enum class OpenMode {
    // Read and write, shared with nobody (share mode 0 on Windows; an exclusive
    // non-blocking flock on POSIX, which every open of this layer honours).
    ExclusiveReadWrite,
    // Read only, others may read and write (FILE_SHARE_READ | FILE_SHARE_WRITE).
    ReadShareReadWrite,
    // Read only, others may only read (FILE_SHARE_READ). On POSIX both read
    // modes take a shared flock: readers meet, an exclusive holder keeps them out.
    ReadShareRead,
};

// An open file. Move-only; closes itself.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return handle_ != kInvalid; }
    explicit operator bool() const { return IsOpen(); }

    // False (last error set) on failure.
    bool GetSize(std::uint64_t& size) const;
    // Moves the end of the file to `size`, cutting or extending with zeros.
    bool SetSize(std::uint64_t size);
    // Extends the file to `size` (nothing happens when it is that long
    // already) with the disk space of every byte it gains set aside, so that
    // no later write into them, through the file or a mapping, can fail for
    // want of space: fallocate on Linux; on Windows the allocation is asked
    // for and, where the system extended the file without allocating it (a
    // sparse extension, as Wine gives on Linux), the bytes gained are written
    // as zeros. A file system that can set nothing aside is extended as
    // SetSize does. On failure the file keeps its size and bytes. No mapping
    // of the file may be open on Windows.
    bool GrowReserving(std::uint64_t size);
    // Reads exactly out.size() bytes from `offset`; false if fewer could be read.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    // Writes all bytes at `offset`.
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Reads the whole file into `out`.
    bool ReadAll(std::vector<std::uint8_t>& out) const;
    void Close();

    // The native handle (HANDLE as integer on Windows, fd on POSIX).
    std::intptr_t Native() const { return handle_; }

private:
    friend File OpenExisting(const std::u16string& path, OpenMode mode);
    friend File CreateAnew(const std::u16string& path);
    friend File CreateNew(const std::u16string& path);
    friend File CreateTempFile(const std::string& ansiPath);
    friend bool ReadWholeFile(const std::u16string& path, OpenMode mode, class FileBytes& out);
    // GrowReserving's system part: the file is `old` bytes long, `size` is larger.
    bool ReserveTail(std::uint64_t old, std::uint64_t size);
#ifdef _WIN32
    static constexpr std::intptr_t kInvalid = -1; // INVALID_HANDLE_VALUE
#else
    static constexpr std::intptr_t kInvalid = -1;
#endif
    explicit File(std::intptr_t h) : handle_(h) {}
    std::intptr_t handle_ = kInvalid;
#ifndef _WIN32
    // A named temporary file, made where the file system has no nameless
    // ones, is deleted by name when it is closed.
    std::string unlinkOnClose_;
#endif
};

// A whole file's bytes, held in a buffer that the read fills without
// clearing it first. A buffer given to one read after another keeps its
// room, so reading many files costs one allocation. Move-only.
class FileBytes {
public:
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<const std::uint8_t> Bytes() const { return {data_.get(), size_}; }

private:
    friend bool ReadWholeFile(const std::u16string& path, OpenMode mode, FileBytes& out);
    // False (kErrorNotEnoughMemory) when `size` bytes cannot be had.
    bool Allocate(std::uint64_t size);
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Opens an existing file in `mode` (a read mode), reads it whole into `out`
// and closes it: what OpenExisting and File::ReadAll give, in as few system
// calls as the system allows. False with the last error on failure, `out`
// then empty (its room kept).
bool ReadWholeFile(const std::u16string& path, OpenMode mode, FileBytes& out);

// Opens an existing file; an invalid File with the last error on failure.
// A folder is no file; neither, on POSIX, is a FIFO or a device, which are
// refused without waiting. Writing to a file marked read-only (no write
// permission bit on POSIX) fails with kErrorAccessDenied, even for root.
File OpenExisting(const std::u16string& path, OpenMode mode);
// Creates a file anew (replacing an existing one, its content discarded),
// for reading and writing, shared with nobody. A file held by another opener
// or marked read-only is left untouched and the call fails.
File CreateAnew(const std::u16string& path);
// Creates a file that does not exist yet, for writing, shared with nobody;
// fails (the system's "file exists") where any file or folder stands.
File CreateNew(const std::u16string& path);
// Creates a temporary file for reading and writing, shared with nobody, that
// goes when it is closed and, whatever ends the process, when the process
// ends; nothing of it ever outlives its maker.
// On Linux it is nameless (O_TMPFILE | O_EXCL, mode 0600) in the folder of
// `ansiPath`, so there is no name to plant a link on or to leave behind. A
// file system that refuses nameless files gets the file named `ansiPath`
// (O_CREAT | O_EXCL | O_NOFOLLOW, mode 0600: a name planted in a shared
// folder, a file or a link to a victim, is refused), deleted when it is
// closed; only a killed process leaves such a name.
// On Windows the file named `ansiPath`, created always, with
// FILE_ATTRIBUTE_TEMPORARY and FILE_FLAG_DELETE_ON_CLOSE: the system deletes
// it when its handle goes, also when the process is killed.
File CreateTempFile(const std::string& ansiPath);

// ---------------------------------------------------------------- mapping

// A read/write (or read-only) mapping of a whole file. Move-only; unmaps
// itself. Map again after the file's size changes.
class Mapping {
public:
    Mapping() = default;
    ~Mapping();
    Mapping(Mapping&& other) noexcept;
    Mapping& operator=(Mapping&& other) noexcept;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    bool IsMapped() const { return data_ != nullptr; }
    explicit operator bool() const { return IsMapped(); }
    std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    std::span<std::uint8_t> Bytes() const { return {data_, size_}; }
    void Unmap();

    // A hint that bytes [offset, offset + length) of the view (cut to it) are
    // about to be written: where the system can, their pages are made present
    // and writable in one call instead of one fault per page. Changes no byte
    // and reports nothing; Windows has no such call and does nothing.
    void PrepareForWriting(std::uint64_t offset, std::uint64_t length) const noexcept;

    // A hint that the view's pages are not needed for now: where the system
    // can, a read-only view's pages leave the process's memory and are read
    // from the file again when next touched. Changes no byte; Windows does
    // nothing.
    void ReleasePages() const noexcept;

private:
    friend Mapping MapWholeFile(File& file, bool writable);
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::intptr_t mappingHandle_ = 0; // Windows file-mapping object; unused on POSIX
};

// Whether bytes written with File::WriteAt are seen at once through a mapping
// of the same file (one page cache on POSIX systems). Windows promises this
// only between views, so there the updater writes through its view.
#ifdef _WIN32
constexpr bool kWritesReachMappings = false;
#else
constexpr bool kWritesReachMappings = true;
#endif

// Maps the whole file at its current size. An empty Mapping with the last error
// on failure (an empty file cannot be mapped).
Mapping MapWholeFile(File& file, bool writable);

// ---------------------------------------------------------------- temporary names

// The system's temporary folder in ANSI, ending in its separator, as
// GetTempPathA gives it; empty when the system gives none.
std::string TempFolderAnsi();
// The separator the updater puts between the temporary folder and a name
// ("\" on Windows, "/" on POSIX).
char TempNameSeparator();
// A temporary file's name as TempFolderAnsi and the updater form it, as
// text: ANSI on Windows, the file system's UTF-8 on POSIX.
std::u16string TempNameText(std::string_view name);
std::uint32_t ProcessId();
// Whether a process with this number runs now (a number the system may
// since have given to another process counts as running). False for 0.
bool ProcessRuns(std::uint32_t processId);

// ---------------------------------------------------------------- paths and folders

// Joins a folder (ending in a separator) and a relative path as written in a
// script. On POSIX every "\" becomes "/"; on Windows nothing is converted.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view relative);
// The path up to and including its last "\", "/" or ":"; empty when it has none.
std::u16string FolderPart(std::u16string_view path);
// The part after the last "\", "/" or ":".
std::u16string FileNamePart(std::u16string_view path);

bool FileExists(const std::u16string& path);   // a file, not a folder
bool FolderExists(const std::u16string& path); // a folder, not a file
// Creates the folder and every missing folder above it; true if it exists
// afterwards. A trailing separator is allowed; an empty path fails.
bool CreateFolders(const std::u16string& path);
// Removes a folder only when it is empty.
bool RemoveEmptyFolder(const std::u16string& path);
// Copies one file, replacing an existing destination, with the source's
// attributes (permissions on POSIX). A read-only destination (no write
// permission bit on POSIX, even for root), a destination or source held by
// another opener, and a file copied onto itself make the copy fail with the
// destination unchanged; a copy that breaks off midway removes the destination.
bool CopyFileReplacing(const std::u16string& source, const std::u16string& destination);
bool DeleteFilePath(const std::u16string& path);

// The full path of the running program file, or empty (at most 261 code units).
std::u16string GetExeFileName();
// The bytes of one of the program's own resources, looked up by type and name
// in their textual forms (FindResourceW, LoadResource, SizeofResource,
// LockResource on Windows, as in ReadOwnResource(u"DLL", u"#1")). Empty when
// the program carries no such resource, and always on POSIX, where the
// program's data is compiled in.
std::vector<std::uint8_t> ReadOwnResource(std::u16string_view type, std::u16string_view name);
// The process's command line as single-byte text (GetCommandLineA on Windows;
// on POSIX the arguments joined by spaces, each one holding a space, a tab or
// nothing put in double quotes).
std::string CommandLineBytes();

// ---------------------------------------------------------------- text

// ANSI code page (Windows: CP_ACP / CP_THREAD_ACP; POSIX: Windows-1251 via
// iconv, the code page of language 1049). Bytes that have no character map to
// U+FFFD on POSIX; each UTF-16 code unit without a byte becomes '?' (so a
// character beyond the BMP gives "??", as the Windows conversion does).
std::u16string AnsiToUtf16(std::string_view bytes);
std::string Utf16ToAnsi(std::u16string_view text);
// UTF-8 for POSIX paths and standard output. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view bytes);
// The decimal digits of n, appended to `out` or as a string of their own.
void AppendDecimal(std::u16string& out, std::uint64_t n);
std::u16string Decimal(std::uint64_t n);

// Keyword comparison, case ignored (CompareStringW, LOCALE_USER_DEFAULT,
// NORM_IGNORECASE on Windows; ASCII case folding elsewhere).
bool KeywordEquals(std::u16string_view a, std::u16string_view b);
// The #define name comparison, case-sensitive (CompareStringW with no flags on
// Windows; code-unit equality elsewhere).
bool DefineNameEquals(std::u16string_view a, std::u16string_view b);
// Whether DefineNameEquals is plain code-unit equality.
#ifdef _WIN32
constexpr bool kDefineNamesCompareByCodeUnits = false;
#else
constexpr bool kDefineNamesCompareByCodeUnits = true;
#endif

} // namespace platform
