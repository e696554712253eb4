#include "package/routine_table.h"

namespace nimbus {
namespace {

constexpr int32_t kFirstRoutine = 2;
constexpr int32_t kLastRoutine = 58;

// Indexed by selector - kFirstRoutine; null where the selector has no row (56).
constexpr RoutineAdapter kRoutines[kLastRoutine - kFirstRoutine + 1] = {
    RunStreamOpen,            // 2
    RunStreamListen,          // 3
    RunStreamClose,           // 4
    RunStreamRelease,         // 5
    RunStreamState,           // 6
    RunStreamSendText,        // 7
    RunStreamReceiveText,     // 8
    RunStreamBytesAvailable,  // 9
    RunStreamAddresses,       // 10
    RunStreamWaitState,       // 11
    RunStreamSendFile,        // 12
    RunStreamReceiveFile,     // 13
    RunLocalAddress,          // 14
    RunAddressToName,         // 15
    RunNameToAddress,         // 16
    RunReservedMinusOne,      // 17
    RunReservedMinusOne,      // 18
    RunReservedMinusOne,      // 19
    RunReservedMinusOne,      // 20
    RunReservedMinusOne,      // 21
    RunReservedMinusOne,      // 22
    RunReservedMinusOne,      // 23
    RunReservedEmptyString,   // 24
    RunReservedMinusOne,      // 25
    RunReservedZero,          // 26
    RunReservedEmptyString,   // 27
    RunTextToHTML,            // 28
    RunHTMLToText,            // 29
    RunTextToURL,             // 30
    RunURLToText,             // 31
    RunMacToISO,              // 32
    RunISOToMac,              // 33
    RunTimerStart,            // 34
    RunTimerElapsed,          // 35
    RunQueueCount,            // 36
    RunQueuePush,             // 37
    RunQueuePop,              // 38
    RunQueueClear,            // 39
    RunStreamSendPicture,     // 40
    RunDatagramOpen,          // 41
    RunDatagramClose,         // 42
    RunDatagramSend,          // 43
    RunDatagramReceive,       // 44
    RunReserved45,            // 45
    RunPictureToGIF,          // 46
    RunPictureInfo,           // 47
    RunSecondsToDateText,     // 48
    RunDateTimeToSeconds,     // 49
    RunDateTextToSeconds,     // 50
    RunSecondsToDateTime,     // 51
    RunStreamList,            // 52
    RunNameCopy,              // 53
    RunTimerSince,            // 54
    RunReserved55,            // 55
    nullptr,                  // 56
    RunBlobToFile,            // 57
    RunFileToBlob,            // 58
};

}  // namespace

RoutineAdapter FindRoutine(int32_t selector) {
  if (selector < kFirstRoutine || selector > kLastRoutine) return nullptr;
  return kRoutines[selector - kFirstRoutine];
}

}  // namespace nimbus
