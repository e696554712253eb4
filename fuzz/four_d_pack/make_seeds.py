#!/usr/bin/env python3
"""Writes the scenario seeds of the FourDPack fuzz target: whole conversations (listen,
connect, send and receive text, files, pictures, datagrams, queues, a call from another
process during a yield) encoded the way the target reads its input, so that a short fuzz run
starts from the deep paths instead of searching for them.

The target reads its input with libFuzzer's FuzzedDataProvider: integers from the end of
the input (the last byte first), strings from the front, each string ended by a backslash
and one other character. A seed is therefore two streams, glued as front + reversed(back).

    python3 fuzz/four_d_pack/make_seeds.py fuzz/corpus/four_d_pack
"""
import struct
import sys
from pathlib import Path

CALL, PEER_CONNECT, PEER_SEND, PEER_URGENT, PEER_CLOSE, PEER_RESET = 0, 8, 9, 10, 11, 12
PEER_DATAGRAM, FILES, NESTED = 13, 14, 15

# Parameter kinds of the routines these scenarios call (the routine catalog's letters).
KINDS = {
    2: "SILLLIL", 3: "LIILLLL", 4: "L", 5: "LL", 6: "LL", 7: "LTIL", 8: "LTLL", 9: "L",
    10: "LLIILL", 11: "LLL", 12: "LTLL", 13: "LTLLL", 28: "TL", 29: "TL", 36: "L", 37: "LT",
    38: "L", 39: "L", 40: "LBLL", 41: "LLL", 42: "L", 43: "LTLLL", 44: "LTLLLL", 46: "BLLLLL",
    47: "BLLLLL", 48: "LL", 49: "DLL", 50: "SL", 51: "LDLL", 52: "L", 57: "BT", 58: "T",
}
REFERENCE_ROUTINES = set(range(4, 14)) | {40, 42, 43, 44}
# The lengths a long Text or block is most often near (fuzzed_call.cpp's kThresholds).
THRESHOLDS = [1024, 4095, 4096, 4097, 8191, 10922, 16384, 31999, 32000, 32001, 32766, 32767]


class Long:
    """A long Text or block: `length` bytes repeating `pattern`."""

    def __init__(self, length, pattern=b"x"):
        self.length, self.pattern = length, pattern

    def bytes(self):
        return (self.pattern * (self.length // len(self.pattern) + 1))[: self.length]


class Seed:
    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order the target consumes it

    def byte(self, value):
        self.back.append(value & 0xFF)

    def int16(self, value):
        raw = value + 0x8000
        self.back += bytes([(raw >> 8) & 0xFF, raw & 0xFF])

    def int32(self, value):
        raw = value + 0x80000000
        self.back += bytes([(raw >> 24) & 0xFF, (raw >> 16) & 0xFF, (raw >> 8) & 0xFF, raw & 0xFF])

    def string(self, data):
        self.front += data.replace(b"\\", b"\\\\") + b"\\x"

    def longint(self, value):
        if -24 <= value <= 135:
            self.byte(value + 24)
        else:
            self.byte(255)
            self.int32(value)

    def data(self):
        return bytes(self.front) + bytes(reversed(self.back))

    # ---- steps ---------------------------------------------------------------------------

    def call(self, selector, *params, pick=0):
        self.byte(CALL)
        self.byte(pick)
        self.byte((selector + 3) % 64)
        self._params(selector, params)

    def nested(self, selector, *params):
        """A call another process makes at the first yield of the next call."""
        self.byte(NESTED)
        self.byte(0)
        self.byte((selector + 3) % 64)
        self._params(selector, params)

    def peer(self, action, pick=0, data=None):
        self.byte(action)
        self.byte(pick)
        if data is not None:
            self.string(data)

    def put_file(self, name, data):
        self.byte(FILES)
        self.byte(ord(name) - ord("a"))
        self.string(data)

    def _params(self, selector, params):
        kinds = KINDS[selector]
        assert len(kinds) == len(params), selector
        for index, (kind, value) in enumerate(zip(kinds, params)):
            if kind == "L" and index == 0 and selector in REFERENCE_ROUTINES:
                self.reference(value)
            elif kind in "LI":
                self.longint(value)
            elif kind == "S":
                self.string(value)
            elif kind == "T":
                file_name = index == 1 if selector in (12, 13, 57) else selector == 58
                self.text(value, file_name)
            elif kind == "B":
                if isinstance(value, Long):
                    self.byte(4)
                    self.long_content(value)
                else:
                    self.byte(1)
                    self.string(value)
            elif kind == "D":
                for field in value:
                    self.int16(field)

    def reference(self, value):
        if 1 <= value <= 6:  # the first slots
            self.byte(value - 1)
        elif -18 <= value <= -1:  # the statistics
            self.byte(next(b for b in range(192, 224) if -1 - b % 18 == value))
        else:
            self.byte(224)
            self.longint(value)

    def long_content(self, value):
        for offset in range(-2, 3):  # near a threshold when it can be, else any length
            if value.length - offset in THRESHOLDS:
                self.byte(THRESHOLDS.index(value.length - offset) + 12 * (offset + 2))
                break
        else:
            self.byte(255)
            self.byte(value.length >> 8)
            self.byte(value.length & 0xFF)
        self.string(value.pattern)

    def text(self, value, file_name):
        if isinstance(value, Long):
            self.byte(4)  # a long text of a repeated pattern
            self.long_content(value)
            return
        self.byte(1)  # a block holding the bytes, its length theirs
        if file_name:  # one of the short names "a", "b", "c", or any bytes
            if isinstance(value, str):
                self.byte(1)
                self.byte(ord(value) - ord("a"))
                return
            self.byte(0)
        self.string(value)


def listen_then_talk():
    s = Seed()
    s.call(3, 0, 0, 0, 0, 0, 0, 0)  # StreamListen, port chosen by the system: ref 1
    s.peer(PEER_CONNECT)
    s.call(6, 1, 0)  # StreamState polls: the waiting stream takes the connection
    s.peer(PEER_SEND, data=b"GET / HTTP/1.0\r\n\r\n")
    s.call(8, 1, b"old", 0, 10)  # StreamReceiveText, mode 10
    s.call(7, 1, b"HTTP/1.0 200 OK\r\r<b>caf\x8e</b>\r", 0, 5)  # StreamSendText, mode 5
    s.call(7, 1, b"buffered", 1, 0)
    s.put_file("a", b"line\r" * 300)
    s.call(12, 1, "a", 4, 100)  # StreamSendFile in chunks of 100 with CR to CR LF
    s.call(40, 1, b"pict\x00\x01\xff\xd8\xff\xe0jpeg bytes\xff\xd9trailer", 0, 0)
    s.call(10, 1, 0, 0, 0, 0, 0)  # StreamAddresses
    s.call(4, 1)  # StreamClose
    s.call(5, 1, 0)  # StreamRelease
    return s


def open_and_receive_a_file():
    s = Seed()
    s.call(2, b"127.0.0.1", 0, 0, 0, 0, 0, 0)  # StreamOpen to the fuzzer's listener: ref 1
    s.call(11, 1, 8, 5)  # StreamWaitState for 8
    s.call(7, 1, b"x" * 3000, 0, 16)  # StreamSendText with HTML encoding
    s.peer(PEER_SEND, data=b"file body\r\nsecond line\r\n" * 40)
    s.peer(PEER_CLOSE)
    s.call(13, 1, "b", 8, 0, 2)  # StreamReceiveFile into "b", CR LF to CR, until the close
    s.call(58, "b")  # FileToBlob
    s.call(57, b"blob bytes", "c")  # BlobToFile
    s.call(6, -12, 0)  # BytesSent
    s.call(52, 0)  # StreamList
    return s


def datagrams():
    s = Seed()
    s.call(41, 0, 0, 0)  # DatagramOpen: ref 1
    s.call(43, 1, b"ping", 0x7F000001, 0, 0)  # DatagramSend to the fuzzer's datagram peer
    s.peer(PEER_DATAGRAM, data=b"pong")
    s.call(44, 1, b"", 0, 0, 0, 0)  # DatagramReceive
    s.call(42, 1)  # DatagramClose
    return s


def release_from_another_process():
    s = Seed()
    s.call(2, b"localhost", 0, 0, 0, 0, 0, 0)  # StreamOpen: ref 1
    s.nested(5, 1, 0)  # another process releases it at the first yield...
    s.call(11, 1, 20, 0)  # ...of a wait for a state that never comes, without a time-out
    s.call(3, 0, 0, 0, 0, 0, 0, 0)  # StreamListen takes slot 1 again
    s.call(2, b"127.0.0.1", 2, 0, 0, 0, 0, 0)  # StreamOpen to the package's own listener
    s.peer(PEER_RESET)
    s.nested(37, 7, b"pushed while the other process yields")
    s.call(7, 2, b"y" * 4000, 0, 4)
    s.call(38, 7)  # QueuePop
    return s


def pictures_queues_dates():
    s = Seed()
    raster = bytes((i * 37) % 256 for i in range(4 * 3 * 3))
    picture = struct.pack("<Hhhhh", 0, 0, 0, 3, 4) + b"RGB8" + raster
    s.call(46, picture, 3, 0, 0, 1, 1)  # PictureToGIF, interlaced, pixel (1, 1) transparent
    s.call(47, picture, 0, 0, 0, 0, 0)  # PictureInfo
    s.call(37, 5, b"first")  # QueuePush
    s.call(37, 5, b"second")
    s.call(36, 5)  # QueueCount
    s.call(38, 5)  # QueuePop
    s.call(39, 5)  # QueueClear
    s.call(28, b"<b>caf\x8e</b> & more", 0)  # TextToHTML
    s.call(29, b"&lt;b&gt;&eacute;&#38;amp;", 2)  # HTMLToText
    s.call(48, 2840140800, 0)  # SecondsToDateText
    s.call(50, b"Sun, 06 Nov 1994 08:49:37 GMT", 0)  # DateTextToSeconds
    s.call(49, (6, 11, 1994), 3600, 1)  # DateTimeToSeconds
    s.call(51, 2840140800, (0, 0, 0), 0, 1)  # SecondsToDateTime
    return s


def long_texts():
    s = Seed()
    s.call(3, 0, 0, 0, 0, 0, 0, 0)  # StreamListen, port chosen by the system: ref 1
    s.peer(PEER_CONNECT)
    s.call(6, 1, 0)  # the waiting stream takes the connection
    s.call(7, 1, b"HTTP/1.0 200 OK", 1, 0)  # buffered: a pending block exists
    s.call(7, 1, Long(32100, b"z"), 0, 0)  # past 32000 with what is pending
    s.call(7, 1, b"pending", 1, 0)
    s.call(7, 1, Long(32767, b"0123456789"), 1, 0)  # the longest Text, buffered behind
    s.call(7, 1, Long(4096, b"ab"), 4096, 0)  # a threshold of exactly the pending length
    s.call(7, 1, Long(4096, b"k"), 1, 0)  # the most that stays pending
    s.call(7, 1, Long(31999, b"m"), 1, 0)  # flushes it first, then leaves itself
    s.call(7, 1, Long(32000, b"\r"), 1, 4)  # CR to CR LF would pass 32767
    s.call(40, 1, Long(32001, b"GIF8pict"), 0, 0)  # a GIF of one byte past a piece
    s.call(28, Long(4097, b"<&>"), 0)  # TextToHTML past its cap
    s.call(37, 3, Long(32767, b"q"))  # QueuePush of the longest Text
    s.call(38, 3)
    s.call(43, 1, Long(4096, b"d"), 0x7F000001, 0, 0)  # DatagramSend on a stream's reference
    s.call(8, 1, b"old", 0, 0)
    s.call(4, 1)
    s.call(5, 1, 0)
    return s


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    directory = Path(sys.argv[1])
    directory.mkdir(parents=True, exist_ok=True)
    for make in (listen_then_talk, open_and_receive_a_file, datagrams,
                 release_from_another_process, pictures_queues_dates, long_texts):
        (directory / f"scenario-{make.__name__.replace('_', '-')}").write_bytes(make().data())


if __name__ == "__main__":
    main()
