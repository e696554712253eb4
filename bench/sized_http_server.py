#!/usr/bin/env python3
"""Python's http.server with the socket buffers a stream of the package has at most (32767
bytes asked for each way), as a second peer for the main-job benchmark: it shows how much of
a difference in throughput the buffer size alone makes.

    python3 bench/sized_http_server.py PORT DIRECTORY
"""
import functools
import http.server
import socket
import sys

BUFFER = 32767


class SizedHandler(http.server.SimpleHTTPRequestHandler):
    def setup(self):
        self.request.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, BUFFER)
        self.request.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, BUFFER)
        super().setup()

    def log_message(self, *args):
        pass


def main():
    port, directory = int(sys.argv[1]), sys.argv[2]
    handler = functools.partial(SizedHandler, directory=directory)
    with http.server.ThreadingHTTPServer(("127.0.0.1", port), handler) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
