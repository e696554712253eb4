#!/usr/bin/env python3
"""Python's http.server held to the package's wire limits, as a second peer for the main-job
benchmark: socket buffers of 32767 bytes each way (the most a stream of the package can ask
for, set on the listening socket as the package sets them), and a file sent in sends of at
most 1024 bytes (the most one send of the package passes to the socket). It shows how much
of the difference from the plain http.server those limits make by themselves.

    python3 bench/sized_http_server.py PORT DIRECTORY
"""
import functools
import http.server
import socket
import sys

BUFFER = 32767
SEND = 1024


class LimitedServer(http.server.ThreadingHTTPServer):
    def server_bind(self):
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, BUFFER)
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, BUFFER)
        super().server_bind()


class LimitedHandler(http.server.SimpleHTTPRequestHandler):
    def copyfile(self, source, outputfile):
        connection = self.connection
        while True:
            piece = source.read(SEND)
            if not piece:
                return
            connection.sendall(piece)

    def log_message(self, *args):
        pass


def main():
    port, directory = int(sys.argv[1]), sys.argv[2]
    handler = functools.partial(LimitedHandler, directory=directory)
    with LimitedServer(("127.0.0.1", port), handler) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
