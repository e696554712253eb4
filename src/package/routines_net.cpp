// Adapters of the network routines: streams, datagrams, names.
#include "net/datagrams.h"
#include "net/names.h"
#include "net/statistics.h"
#include "net/status.h"
#include "net/stream_identity.h"
#include "net/streams.h"
#include "net/transfer.h"
#include "package/routine_table.h"
#include "package/slots.h"
#include "text/text.h"

namespace nimbus {
namespace {

constexpr int32_t kFirstStatisticsReference = -18;
constexpr int32_t kFirstCounterReference = -6;
constexpr int32_t kDottedTextOnly = 2;
constexpr int32_t kLocalAddressKind = 5;  // the fixed values LocalAddress reports with it
constexpr int32_t kLocalAddressExtra = -1;
constexpr int32_t kAddressesUnused = -1;

// The stream slot of a valid reference; null answers the routine's failure result.
StreamRecord** ValidSlot(const RoutineCall& call) {
  return CheckReference(call.globals, call.Longint(1));
}

}  // namespace

void RunStreamOpen(const RoutineCall& call) {
  char host[256];
  PascalToCString(call.String(1), host);
  StreamRecord* record = OpenActive(host, uint16_t(call.Integer(2)), call.Longint(3),
                                    uint16_t(call.Integer(6)), uint32_t(call.Longint(7)));
  call.ReturnLongint(ReuseSlot(call.globals, call.Longint(5), record));
}

void RunStreamListen(const RoutineCall& call) {
  StreamRecord* record =
      OpenPassive(uint16_t(call.Integer(3)), call.Longint(4), uint32_t(call.Longint(7)));
  call.ReturnLongint(ReuseSlot(call.globals, call.Longint(6), record));
}

void RunStreamClose(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  call.ReturnLongint(slot != nullptr ? CloseStream(slot) : kFailed);
}

void RunStreamRelease(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  if (slot == nullptr) return;  // a bad reference leaves the result as 4D gave it
  call.ReturnLongint(ReleaseSlot(call.globals, slot));
}

void RunStreamState(const RoutineCall& call) {
  const int32_t reference = call.Longint(1);
  if (reference >= kFirstStatisticsReference && reference <= -1) {
    // Statistics: -1..-5 answer 0, -6..-18 counters 1..13.
    call.ReturnLongint(reference > kFirstCounterReference ? 0 : CounterValue(-reference - 5));
    return;
  }
  StreamRecord** slot = ValidSlot(call);
  call.ReturnLongint(slot != nullptr ? QueryStream(slot, call.Longint(2)) : kFailed);
}

void RunStreamSendText(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  if (slot == nullptr) {
    call.ReturnLongint(kFailed);
    return;
  }
  FourDText& text = call.Text(2);
  // A conversion that cannot be done (its result would pass 32767 bytes) sends nothing and
  // leaves the caller's Text as it was.
  if (!ApplyConversionMode(text, call.Longint(4))) {
    call.ReturnLongint(kFailed);
    return;
  }
  call.ReturnLongint(BufferedSend(slot, &text, call.Integer(3)));
}

void RunStreamReceiveText(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  if (slot == nullptr) {
    call.ReturnLongint(kFailed);
    return;
  }
  FourDText& text = call.Text(2);
  const int32_t mode = call.Longint(4);
  int16_t largest = int16_t(call.Longint(3));
  if (mode != 0) {
    // Take in no more than the mode can always convert within a Text.
    const int32_t cap = ConversionModeInputCap(mode);
    if (largest <= 0 || largest > cap) largest = int16_t(cap);
  }
  const HeldStream stream(slot);
  int32_t answer = ReceiveIntoText(stream, text, largest);
  // Released by another process while pending output left: the Text is left as it was.
  if (!stream.Present()) {
    call.ReturnLongint(kFailed);
    return;
  }
  if (mode != 0 && text.handle != nullptr && !ApplyConversionMode(text, mode)) {
    // No room to convert: an empty Text rather than unconverted bytes taken for converted.
    text.length = 0;
    SetHandleSize(text.handle, 0);
    answer = kFailed;
  }
  call.ReturnLongint(answer);
}

void RunStreamBytesAvailable(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  call.ReturnLongint(slot != nullptr ? BytesAvailable(slot) : kFailed);
}

void RunStreamAddresses(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  StreamEndpoints ends{};
  if (slot == nullptr || !GetStreamAddresses(slot, &ends)) {
    call.ReturnLongint(kFailed);
    return;
  }
  call.Longint(2) = int32_t(ends.remoteAddress);
  call.Integer(3) = int16_t(ends.remotePort);
  call.Integer(4) = int16_t(ends.localPort);
  call.Longint(5) = kAddressesUnused;
  call.Longint(6) = int32_t(ends.localAddress);
  call.ReturnLongint(int32_t(ends.localAddress));
}

void RunStreamWaitState(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  call.ReturnLongint(slot != nullptr ? WaitState(slot, int16_t(call.Longint(2)), call.Longint(3))
                                     : kFailed);
}

void RunLocalAddress(const RoutineCall& call) {
  call.Longint(1) = int32_t(LocalHostAddress());
  call.Longint(2) = kLocalAddressKind;
  call.Longint(3) = kLocalAddressExtra;
  call.ReturnLongint(0);
}

void RunAddressToName(const RoutineCall& call) {
  unsigned char name[256];
  AddressToName(uint32_t(call.Longint(1)), call.Longint(2) == kDottedTextOnly, name);
  call.ReturnString(name);
}

void RunNameToAddress(const RoutineCall& call) {
  char name[256];
  PascalToCString(call.String(1), name);
  call.ReturnLongint(int32_t(ResolveName(name)));
}

void RunDatagramOpen(const RoutineCall& call) {
  StreamRecord* record = OpenDatagram(call.Longint(1), uint32_t(call.Longint(2)));
  call.ReturnLongint(RegisterStream(call.globals, record));
}

void RunDatagramClose(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  if (slot == nullptr) {
    call.ReturnLongint(kFailed);
    return;
  }
  const int16_t status = CloseDatagram(slot);
  call.globals->openStreamCount -= 1;
  call.ReturnLongint(status);
}

void RunDatagramSend(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  call.ReturnLongint(
      slot != nullptr ? SendDatagram(slot, call.Text(2), uint32_t(call.Longint(3)), call.Longint(4))
                      : kFailed);
}

void RunDatagramReceive(const RoutineCall& call) {
  StreamRecord** slot = ValidSlot(call);
  if (slot == nullptr) {
    call.ReturnLongint(kFailed);
    return;
  }
  DatagramSender sender{};
  const int16_t status = ReceiveDatagram(slot, call.Text(2), &sender);
  if (status == 0) {
    call.Longint(3) = int32_t(sender.address);
    call.Longint(4) = int32_t(sender.port);
  }
  call.ReturnLongint(status);
}

}  // namespace nimbus
