#include "shell_harness.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace shell_test {

namespace {

bool MakeFolders(const std::wstring& folder) {
    // Each "\" after the drive ends a folder that may have to be made.
    for (std::size_t i = folder.find(L'\\', 3); i != std::wstring::npos;
         i = folder.find(L'\\', i + 1))
        CreateDirectoryW(folder.substr(0, i).c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = folder + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(full + L"\\");
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

HANDLE CreateOutputFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    handle = nullptr;
}

} // namespace

std::wstring WindowsPath(const std::string& path) {
    std::wstring wide = FromUtf8(path);
    if (wide.empty() || wide[0] != L'/')
        return wide;
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return L"Z:" + wide;
}

std::wstring ProgramPath() {
    return WindowsPath(KSB_SHELL_EXE);
}

// ---------------------------------------------------------------- ProgramFolder

ProgramFolder::ProgramFolder(const std::wstring& base) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    if (base.empty())
        GetTempPathW(MAX_PATH + 1, temp);
    else
        base.copy(temp, std::min<std::size_t>(base.size(), MAX_PATH));
    wchar_t name[64];
    std::swprintf(name, 64, L"ksb-shell-%lu-%u-%llu\\", GetCurrentProcessId(), counter++,
                  static_cast<unsigned long long>(GetTickCount64()));
    path_ = std::wstring(temp) + name;
    MakeFolders(path_);
    // Wine under load now and then refuses a copy or a start for a moment;
    // a few tries keep that from failing a test that is about the program.
    for (int attempt = 0; attempt < 10 && !CopyFileW(ProgramPath().c_str(), Exe().c_str(), FALSE);
         ++attempt)
        Sleep(200);
}

ProgramFolder::~ProgramFolder() {
    RemoveTree(path_);
}

void ProgramFolder::Write(const std::wstring& relative, const std::string& bytes) const {
    const std::wstring full = path_ + relative;
    MakeFolders(full.substr(0, full.rfind(L'\\') + 1));
    HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ProgramFolder::Read(const std::wstring& relative) const {
    HANDLE file =
        CreateFileW((path_ + relative).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool ProgramFolder::Exists(const std::wstring& relative) const {
    return GetFileAttributesW((path_ + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---------------------------------------------------------------- StartedProgram

StartedProgram::StartedProgram(const ProgramFolder& folder, const std::wstring& arguments,
                               Output output)
    : folder_(folder) {
    HANDLE out = nullptr;
    HANDLE err = CreateOutputFile(folder.Path() + L"stderr.txt");
    if (output == Output::Files) {
        out = CreateOutputFile(folder.Path() + L"stdout.txt");
    } else {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE read = nullptr;
        if (CreatePipe(&read, &out, &inherit, 0)) {
            // Only the writing end goes to the program.
            SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
            pipe_ = read;
        }
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring commandLine = L"\"" + folder.Exe() + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    PROCESS_INFORMATION started{};
    bool created = false;
    for (int attempt = 0; attempt < 5 && !created; ++attempt) {
        if (attempt > 0)
            Sleep(200);
        created = CreateProcessW(folder.Exe().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 0, nullptr, folder.Path().c_str(), &startup, &started) != FALSE;
    }
    if (created) {
        process_ = started.hProcess;
        id_ = started.dwProcessId;
        CloseHandle(started.hThread);
    }
    // The program holds its own copies; ours would keep the pipe from ending.
    CloseIfOpen(out);
    CloseIfOpen(err);
}

StartedProgram::~StartedProgram() {
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, kTimeoutMs);
    }
    CloseIfOpen(process_);
    CloseIfOpen(pipe_);
}

bool StartedProgram::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool StartedProgram::WaitForExit(DWORD& exitCode, DWORD timeoutMs) const {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(process_, &exitCode) != FALSE;
}

std::string StartedProgram::DrainPipe() {
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (pipe_ != nullptr && ReadFile(pipe_, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

std::string StartedProgram::StandardOutput() const {
    return folder_.Read(L"stdout.txt");
}

std::string StartedProgram::StandardError() const {
    return folder_.Read(L"stderr.txt");
}

// ---------------------------------------------------------------- windows

HWND FindProgramWindow(DWORD processId, const wchar_t* className, const wchar_t* caption) {
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExW(nullptr, hwnd, className, caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == processId)
            return hwnd;
    }
    return nullptr;
}

HWND WaitForWindow(const StartedProgram& program, const wchar_t* className, const wchar_t* caption,
                   bool visible, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindProgramWindow(program.Id(), className, caption);
            if (found != nullptr && visible && !IsWindowVisible(found))
                found = nullptr;
            return found != nullptr || !program.Running();
        },
        timeoutMs);
    return found;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(hwnd, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool SendAndWait(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kTimeoutMs,
                               result != nullptr ? result : &ignored) != 0;
}

std::wstring TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendAndWait(hwnd, WM_GETTEXTLENGTH, 0, 0, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendAndWait(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), &copied))
        return L"<no answer>";
    text.resize(copied);
    return text;
}

std::wstring BoxMessage(HWND box, std::wstring_view start) {
    for (HWND child : Children(box)) {
        std::wstring text = TextOf(child);
        if (text.starts_with(start))
            return text;
    }
    return {};
}

void PressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

RECT RectInParent(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE ClientSize(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// ---------------------------------------------------------------- texts

std::wstring FromUtf8(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::wstring> Lines(const std::string& utf8) {
    return Lines(FromUtf8(utf8));
}

int TahomaTextHeight() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return static_cast<int>(metrics.tmHeight);
}

int Scaled(int designValue) {
    static const int height = TahomaTextHeight();
    return MulDiv(designValue, height, 13);
}

std::vector<std::wstring> NothingToBuildLines(const ProgramFolder& folder) {
    std::vector<std::wstring> lines;
    for (const wchar_t* script : {L"vistel.rc", L"tavo.rc", L"brel.rc", L"quon.rc", L"zelma.rc",
                                  L"oxin.rc", L"marvet.rc", L"polden.rc"}) {
        lines.push_back(kSeparator);
        lines.push_back(folder.Path() + L"Files\\" + script + L" not found !");
    }
    return lines;
}

} // namespace shell_test
