// A test-only switch that makes one operation of this layer fail, so that
// tests can walk a whole run and fail each write, resize, mapping and
// creation in turn. It is compiled into every build and costs one test of a
// flag per operation while it is off.
//
// The failing operation does nothing and returns its normal failure (an
// invalid File or Mapping, or false) with a code the system could have
// given: a full disk for writes, resizes, reservations and copies, lack of memory for
// mappings, access denied for the creation of files and folders.
#pragma once

#include <cstdint>

namespace platform::testing {

// The operations counted, in the order the layer meets them.
enum class Operation {
    Write,        // File::WriteAt
    Resize,       // File::SetSize
    Reserve,      // File::GrowReserving
    Map,          // MapWholeFile
    CreateFile,   // CreateAnew, CreateTempFile
    CreateFolder, // CreateFolders
    Copy,         // CopyFileReplacing
};

// From now on every counted operation is numbered from 1, and the n-th one
// fails; the ones after it run normally. n = 0 switches the failure and the
// counting off.
void FailNthOperation(std::uint64_t n);

// Counted operations since the last FailNthOperation.
std::uint64_t OperationsCounted();

// Whether the failure asked for by the last FailNthOperation has happened.
bool InjectedFailureHappened();

} // namespace platform::testing

namespace platform::detail {

extern bool gFaultInjectionOn;
bool CountOperation(testing::Operation operation);

// Called first thing by each counted operation: true when it must fail now,
// with the thread's last-error code already set.
inline bool InjectFailure(testing::Operation operation) {
    return gFaultInjectionOn && CountOperation(operation);
}

} // namespace platform::detail
