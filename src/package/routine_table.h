// The routine table: which adapter runs for each selector from 2 to 58.
#pragma once

#include <cstdint>

#include "package/params.h"

namespace nimbus {

using RoutineAdapter = void (*)(const RoutineCall& call);

// The adapter of a routine number, or null when the selector has no row.
RoutineAdapter FindRoutine(int32_t selector);

// Adapters, grouped by the file that defines them. Each reads its parameters, runs the
// subsystem's operation and writes the result.
// routines_bridge.cpp
void RunReservedMinusOne(const RoutineCall& call);
void RunReservedZero(const RoutineCall& call);
void RunReservedEmptyString(const RoutineCall& call);
void RunReserved45(const RoutineCall& call);
void RunReserved55(const RoutineCall& call);
void RunNameCopy(const RoutineCall& call);
void RunStreamList(const RoutineCall& call);
// routines_net.cpp
void RunStreamOpen(const RoutineCall& call);
void RunStreamListen(const RoutineCall& call);
void RunStreamClose(const RoutineCall& call);
void RunStreamRelease(const RoutineCall& call);
void RunStreamState(const RoutineCall& call);
void RunStreamSendText(const RoutineCall& call);
void RunStreamReceiveText(const RoutineCall& call);
void RunStreamBytesAvailable(const RoutineCall& call);
void RunStreamAddresses(const RoutineCall& call);
void RunStreamWaitState(const RoutineCall& call);
void RunLocalAddress(const RoutineCall& call);
void RunAddressToName(const RoutineCall& call);
void RunNameToAddress(const RoutineCall& call);
void RunDatagramOpen(const RoutineCall& call);
void RunDatagramClose(const RoutineCall& call);
void RunDatagramSend(const RoutineCall& call);
void RunDatagramReceive(const RoutineCall& call);
// routines_files.cpp
void RunStreamSendFile(const RoutineCall& call);
void RunStreamReceiveFile(const RoutineCall& call);
void RunStreamSendPicture(const RoutineCall& call);
void RunBlobToFile(const RoutineCall& call);
void RunFileToBlob(const RoutineCall& call);
// routines_text.cpp
void RunTextToHTML(const RoutineCall& call);
void RunHTMLToText(const RoutineCall& call);
void RunTextToURL(const RoutineCall& call);
void RunURLToText(const RoutineCall& call);
void RunMacToISO(const RoutineCall& call);
void RunISOToMac(const RoutineCall& call);
// routines_dates.cpp
void RunTimerStart(const RoutineCall& call);
void RunTimerElapsed(const RoutineCall& call);
void RunTimerSince(const RoutineCall& call);
void RunSecondsToDateText(const RoutineCall& call);
void RunDateTimeToSeconds(const RoutineCall& call);
void RunDateTextToSeconds(const RoutineCall& call);
void RunSecondsToDateTime(const RoutineCall& call);
// routines_queues.cpp
void RunQueueCount(const RoutineCall& call);
void RunQueuePush(const RoutineCall& call);
void RunQueuePop(const RoutineCall& call);
void RunQueueClear(const RoutineCall& call);
// routines_gif.cpp
void RunPictureToGIF(const RoutineCall& call);
void RunPictureInfo(const RoutineCall& call);

}  // namespace nimbus
