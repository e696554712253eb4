// The listen queues: passive opens on one local port and address share one listening
// socket, and the streams waiting on it get its connections first to last. The queues stay
// consistent whoever takes a stream out (a connection, a close, a release), and a listening
// socket is closed only when no stream waits on it any more.
#pragma once

#include "net/session.h"
#include "net/stream_record.h"

namespace nimbus {

// Queues a fresh record (state 0, own socket) for connections on localPort and
// localAddress: it joins the entry that already listens there (its own socket is closed)
// or binds and listens, filling a free entry. Port 0 always binds a socket of its own, and
// its entry keeps the port the system chose, so later opens on that port join it. With the table
// full the record keeps its own socket, unbound. False when bind or listen fails; the record is
// then unchanged.
bool QueueOnListener(StreamRecord* record, uint16_t localPort, uint32_t localAddress);

// Takes a waiting stream out of its queue: the entry's count drops, the entry is freed at
// 0, and the record no longer carries the shared socket. Nothing for a stream not queued.
void LeaveListenQueue(StreamRecord* record);

// Gives a waiting stream a connection that is already there, whatever its place in the
// queue. Nothing when none waits or the stream is not queued.
void TakeWaitingConnection(StreamRecord* record);

// Hands waiting connections to the first streams waiting on each listening socket.
void AcceptPending();

// Cancels notifications for the entry's socket, closes it and frees the entry.
void FreeListenEntry(ListenEntry& entry);

}  // namespace nimbus
