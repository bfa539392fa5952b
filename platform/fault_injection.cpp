#include "platform/fault_injection.h"

#include "platform/platform.h"

#ifndef _WIN32
#include <cerrno>
#endif

namespace platform {

namespace {

#ifdef _WIN32
constexpr std::uint32_t kErrorDiskFull = 112; // ERROR_DISK_FULL
#else
constexpr std::uint32_t kErrorDiskFull = ENOSPC;
#endif

std::uint64_t gFailAt = 0;
std::uint64_t gCounted = 0;
bool gFailed = false;

std::uint32_t CodeFor(testing::Operation operation) {
    switch (operation) {
    case testing::Operation::Map:
        return kErrorNotEnoughMemory;
    case testing::Operation::CreateFile:
    case testing::Operation::CreateFolder:
        return kErrorAccessDenied;
    case testing::Operation::Write:
    case testing::Operation::Resize:
    case testing::Operation::Reserve:
    case testing::Operation::Copy:
        break;
    }
    return kErrorDiskFull;
}

} // namespace

namespace detail {

bool gFaultInjectionOn = false;

bool CountOperation(testing::Operation operation) {
    if (++gCounted != gFailAt)
        return false;
    gFailed = true;
    SetLastError(CodeFor(operation));
    return true;
}

} // namespace detail

namespace testing {

void FailNthOperation(std::uint64_t n) {
    gFailAt = n;
    gCounted = 0;
    gFailed = false;
    detail::gFaultInjectionOn = n != 0;
}

std::uint64_t OperationsCounted() {
    return gCounted;
}

bool InjectedFailureHappened() {
    return gFailed;
}

} // namespace testing

} // namespace platform
