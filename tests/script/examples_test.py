#!/usr/bin/env python3
"""The examples run by nimbus-host, with real clients and servers that no one here wrote.

  examples_test.py [--emulator COMMAND] NIMBUS_HOST EXAMPLES_DIR [unittest arguments]

With --emulator (the Windows build: --emulator wine) nimbus-host runs under that command,
with real Winsock; its console output is read back with CR LF line ends turned into LF, and
every time limit is multiplied by SLOW_FACTOR (default 4).

- serve.4dm answers curl (headers and bodies checked byte for byte against the site's
  files), Python's http.client, and headless Chromium, whose screenshot of the bundled page
  must show the page and the GIF the server made;
- fetch.4dm fetches byte for byte from Python's http.server;
- the UDP echo, queue hand-off and text conversion scripts print what they should;
- faulty scripts fail with FILE:LINE:COLUMN messages and exit code 1.
Only 127.0.0.1 is used, and every server runs with a request or time limit.
"""
import http.client
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

HOST = None          # the command that runs nimbus-host: [emulator..., program]
EMULATED = False     # nimbus-host is a Windows program run by an emulator
SLOW = 1             # how much longer everything may take under the emulator
EXAMPLES = None
SITE = None
TIMEOUT = 60


def limit(seconds):
    """A time limit, stretched when nimbus-host runs under an emulator."""
    return seconds * SLOW


# AddressSanitizer's runtime prints this once when a program switches contexts, as the
# host's fibers do; it is the sanitizer's notice, not nimbus-host's output.
ASAN_FIBER_NOTICE = re.compile(
    rb"==\d+==WARNING: ASan doesn't fully support makecontext/swapcontext[^\n]*\n")


def console(data):
    """nimbus-host's output as the Linux build writes it: a Windows program's console text
    mode writes every LF as CR LF, and turning each CR LF back into LF undoes exactly that."""
    data = ASAN_FIBER_NOTICE.sub(b"", data)
    return data.replace(b"\r\n", b"\n") if EMULATED else data


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def run_host(*args, timeout=TIMEOUT):
    run = subprocess.run([*HOST, *map(str, args)], capture_output=True, timeout=limit(timeout))
    run.stdout, run.stderr = console(run.stdout), console(run.stderr)
    return run


def run_script(path, *args, timeout=TIMEOUT):
    return run_host("run", path, *args, timeout=timeout)


class RunningScript:
    """A script running in the background, its output lines collected as they come."""

    def __init__(self, path, *args):
        self.process = subprocess.Popen([*HOST, "run", path, *map(str, args)],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.lines = []
        self.condition = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.process.stdout:
            line = console(raw).decode("latin-1")
            with self.condition:
                self.lines.append(line[:-1] if line.endswith("\n") else line)
                self.condition.notify_all()

    def wait_for_line(self, pattern, timeout=10):
        deadline = time.monotonic() + limit(timeout)
        with self.condition:
            while True:
                for line in self.lines:
                    if re.search(pattern, line):
                        return line
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self.process.poll() is not None:
                    raise AssertionError("no line matching %r in %r" % (pattern, self.lines))
                self.condition.wait(remaining)

    def finish(self, timeout=TIMEOUT):
        try:
            code = self.process.wait(limit(timeout))
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise
        self.reader.join(5)
        errors = console(self.process.stderr.read()).decode("latin-1")
        self.process.stdout.close()
        self.process.stderr.close()
        return code, errors

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.reader.join(5)
        for stream in (self.process.stdout, self.process.stderr):
            if not stream.closed:
                stream.close()


def wait_until_listening(port, timeout=10):
    deadline = time.monotonic() + limit(timeout)
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.05)
    raise AssertionError("nothing listens on port %d" % port)


# ---- PNG reading, enough for Chromium's screenshots (8-bit RGB or RGBA, not interlaced) ----

def read_png(path):
    data = read(path)
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError("not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise AssertionError("unexpected PNG layout %r" % (header,))
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        filter_type = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            if filter_type == 1:
                line[i] = (line[i] + left) & 255
            elif filter_type == 2:
                line[i] = (line[i] + up) & 255
            elif filter_type == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif filter_type == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else upper_left)
                line[i] = (line[i] + predictor) & 255
        rows.append(bytes(line))
        previous = line
    pixels = [[tuple(row[x * channels:x * channels + 3]) for x in range(width)] for row in rows]
    return width, height, pixels


def near(pixel, colour, tolerance=6):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


# ---- the server ----

class ServerTest(unittest.TestCase):
    """serve.4dm with a request limit, asked by curl and http.client."""

    REQUESTS = 16

    @classmethod
    def setUpClass(cls):
        cls.port = free_port()
        cls.server = RunningScript(os.path.join(EXAMPLES, "serve.4dm"), cls.port, "",
                                   cls.REQUESTS, limit(60), 4)
        cls.server.wait_for_line(r"^serving .* at http://127\.0\.0\.1:%d/" % cls.port)
        wait_until_listening(cls.port)
        cls.made = 0

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def curl(self, path, *options):
        ServerTest.made += 1
        with tempfile.TemporaryDirectory() as folder:
            head, body = os.path.join(folder, "head"), os.path.join(folder, "body")
            subprocess.run(["curl", "-s", "--max-time", str(limit(20)), "--path-as-is", "-D",
                            head, "-o", body, *options,
                            "http://127.0.0.1:%d%s" % (self.port, path)],
                           check=True, timeout=limit(30))
            return read(head), read(body) if os.path.exists(body) else b""

    def check_head(self, head, status, content_type, length):
        lines = head.split(b"\r\n")
        self.assertEqual(lines[0], status)
        self.assertEqual(lines[-2:], [b"", b""], "the head ends with an empty line")
        self.assertRegex(lines[1], rb"^Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), \d{1,2} "
                                   rb"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                   rb"\d{4} \d\d:\d\d:\d\d GMT$")
        self.assertEqual(lines[2:-2], [b"Server: Nimbus serve",
                                       b"Content-Type: " + content_type,
                                       b"Content-Length: %d" % length,
                                       b"Connection: close"])

    def test_a_files_come_byte_for_byte_with_their_heads(self):
        for name, content_type in [("index.html", b"text/html"), ("style.css", b"text/css"),
                                   ("notes.txt", b"text/plain"),
                                   ("bytes.bin", b"application/octet-stream")]:
            with self.subTest(name=name):
                expected = read(os.path.join(SITE, name))
                head, body = self.curl("/" + name)
                self.check_head(head, b"HTTP/1.0 200 OK", content_type, len(expected))
                self.assertEqual(body, expected)
        head, body = self.curl("/")
        self.assertEqual(body, read(os.path.join(SITE, "index.html")))

    def test_b_the_logo_is_a_gif_the_package_made(self):
        head, body = self.curl("/logo.gif")
        self.check_head(head, b"HTTP/1.0 200 OK", b"image/gif", len(body))
        self.assertEqual(body[:6], b"GIF87a")
        self.assertEqual(struct.unpack("<HH", body[6:10]), (96, 96))
        self.assertEqual(body[-1:], b";")

    def test_c_faults_get_their_status(self):
        not_found = b"<html><body><h1>404 Not Found</h1></body></html>\n"
        head, body = self.curl("/missing.html")
        self.check_head(head, b"HTTP/1.0 404 Not Found", b"text/html", len(not_found))
        self.assertEqual(body, not_found)
        head, body = self.curl("/../README.md")
        self.assertTrue(head.startswith(b"HTTP/1.0 400 Bad Request\r\n"), head)
        head, body = self.curl("/index.html", "-X", "DELETE")
        self.assertTrue(head.startswith(b"HTTP/1.0 501 Not Implemented\r\n"), head)

    def test_d_python_http_client_reads_pages_and_heads(self):
        expected = read(os.path.join(SITE, "index.html"))
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=limit(20))
        connection.request("GET", "/index.html?from=python")
        response = connection.getresponse()
        self.assertEqual((response.status, response.reason), (200, "OK"))
        self.assertEqual(response.getheader("Content-Type"), "text/html")
        self.assertEqual(response.read(), expected)
        connection.close()
        ServerTest.made += 1
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=limit(20))
        connection.request("HEAD", "/notes.txt")
        response = connection.getresponse()
        self.assertEqual(int(response.getheader("Content-Length")),
                         os.path.getsize(os.path.join(SITE, "notes.txt")))
        self.assertEqual(response.read(), b"")
        connection.close()
        ServerTest.made += 1

    def test_e_several_clients_at_once(self):
        expected = read(os.path.join(SITE, "bytes.bin"))
        results = []

        def fetch():
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=limit(20))
            connection.request("GET", "/bytes.bin")
            results.append(connection.getresponse().read())
            connection.close()

        threads = [threading.Thread(target=fetch) for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(limit(30))
        ServerTest.made += 4
        self.assertEqual(results, [expected] * 4)

    def test_z_the_server_logs_each_request_and_stops_at_its_limit(self):
        # Fill up to the limit, then the server ends by itself.
        while ServerTest.made < self.REQUESTS:
            self.curl("/style.css")
        code, errors = self.server.finish(timeout=30)
        self.assertEqual((code, errors), (0, ""))
        log = [line for line in self.server.lines if line.startswith("127.0.0.1:")]
        self.assertEqual(len(log), self.REQUESTS, self.server.lines)
        self.assertIn('"GET /notes.txt HTTP/1.1" 200 %d' %
                      os.path.getsize(os.path.join(SITE, "notes.txt")),
                      "\n".join(log))
        for line in log:
            self.assertRegex(line, r'^127\.0\.0\.1:\d+ "[A-Z]+ \S+ HTTP/1\.[01]" \d{3} \d+$')


class BrowserTest(unittest.TestCase):
    """Headless Chromium renders the bundled page with its GIF."""

    def test_chromium_renders_the_page_and_the_logo(self):
        browser = shutil.which("chromium")
        self.assertIsNotNone(browser, "chromium is not installed (scripts/install-deps.sh)")
        port = free_port()
        server = RunningScript(os.path.join(EXAMPLES, "serve.4dm"), port, "", 0, limit(60), 8)
        try:
            server.wait_for_line(r"^serving ")
            wait_until_listening(port)
            with tempfile.TemporaryDirectory() as profile, \
                    tempfile.TemporaryDirectory() as folder:
                shot = os.path.join(folder, "page.png")
                subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu",
                                "--disable-quic", "--no-first-run",
                                "--disable-background-networking", "--disable-component-update",
                                "--disable-sync", "--user-data-dir=" + profile,
                                "--screenshot=" + shot, "--window-size=800,600",
                                "http://127.0.0.1:%d/" % port],
                               capture_output=True, timeout=limit(90), check=False)
                self.assertTrue(os.path.exists(shot), "no screenshot")
                width, height, pixels = read_png(shot)
        finally:
            server.stop()
        self.assertEqual((width, height), (800, 600))
        counts = {"page": 0, "heading": 0, "logo frame": 0, "logo gold": 0, "other": 0}
        for row in pixels:
            for pixel in row:
                if near(pixel, (0xf4, 0xf1, 0xe8), 2):
                    counts["page"] += 1
                elif near(pixel, (0x2a, 0x4d, 0x69), 2):
                    counts["heading"] += 1
                elif near(pixel, (0x00, 0x33, 0x99)):
                    counts["logo frame"] += 1
                elif near(pixel, (0xff, 0xcc, 0x00)):
                    counts["logo gold"] += 1
                else:
                    counts["other"] += 1
        # The page's background and heading from the style sheet, text, and the logo: its
        # blue frame (2 of 16 picture pixels each side, 6 screen pixels each) and gold
        # diagonals.
        self.assertGreater(counts["page"], 200000, counts)
        self.assertGreater(counts["heading"], 10000, counts)
        self.assertGreater(counts["other"], 500, counts)
        self.assertGreater(counts["logo frame"], 3000, counts)
        self.assertGreater(counts["logo gold"], 500, counts)
        server_lines = [line for line in server.lines if line.startswith("127.0.0.1:")]
        self.assertTrue(any('"GET /logo.gif ' in line for line in server_lines), server_lines)


# ---- the client ----

class FetchTest(unittest.TestCase):
    """fetch.4dm against Python's own web server."""

    def test_fetch_copies_bodies_byte_for_byte(self):
        port = free_port()
        with tempfile.TemporaryDirectory() as root:
            files = {"page.html": b"<html><body>caf\xe9</body></html>\n",
                     "random.bin": os.urandom(70000), "empty.txt": b""}
            for name, data in files.items():
                write(os.path.join(root, name), data)
            server = subprocess.Popen([sys.executable, "-m", "http.server", str(port),
                                       "--bind", "127.0.0.1", "--directory", root],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_until_listening(port)
                for name, data in files.items():
                    with self.subTest(name=name):
                        out = os.path.join(root, "fetched-" + name)
                        run = run_script(os.path.join(EXAMPLES, "fetch.4dm"), "127.0.0.1", port,
                                         "/" + name, out)
                        self.assertEqual(run.returncode, 0, run.stderr)
                        lines = run.stdout.decode("latin-1").split("\n")
                        self.assertEqual(lines[0], "HTTP/1.0 200 OK")
                        self.assertIn("Content-Length: %d" % len(data), lines)
                        self.assertEqual(lines[-2], "body: %d bytes" % len(data))
                        self.assertEqual(read(out), data)
                run = run_script(os.path.join(EXAMPLES, "fetch.4dm"), "127.0.0.1", port,
                                 "/random.bin")
                self.assertEqual(run.stdout.decode("latin-1").split("\n")[-2],
                                 "body: 70000 bytes")
                run = run_script(os.path.join(EXAMPLES, "fetch.4dm"), "127.0.0.1", port,
                                 "/nowhere")
                self.assertTrue(run.stdout.startswith(b"HTTP/1.0 404 "), run.stdout)
            finally:
                server.terminate()
                server.wait(10)

    def test_fetch_reports_a_refused_connection(self):
        run = run_script(os.path.join(EXAMPLES, "fetch.4dm"), "127.0.0.1", free_port())
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertRegex(run.stdout.decode(), r"^fetch: no connection to 127\.0\.0\.1:\d+ "
                                              r"\(state 20\)\n$")


# ---- the other examples ----

class OtherExamplesTest(unittest.TestCase):

    def test_udp_echo(self):
        port = free_port(socket.SOCK_DGRAM)
        run = run_script(os.path.join(EXAMPLES, "udp-echo.4dm"), port, 4)
        self.assertEqual(run.returncode, 0, run.stderr)
        lines = run.stdout.decode().splitlines()
        replies = [l for l in lines if l.startswith("client:")]
        self.assertEqual(replies, ['client: sent "datagram %d of 4", got back "datagram %d of 4"'
                                   % (i, i) for i in range(1, 5)])
        echoes = [l for l in lines if l.startswith("echo:")]
        self.assertEqual(len(echoes), 4)
        for line in echoes:
            self.assertRegex(line, r"^echo: 15 bytes from 127\.0\.0\.1:\d+$")

    def test_queue_handoff(self):
        run = run_script(os.path.join(EXAMPLES, "queue-handoff.4dm"), 7)
        self.assertEqual(run.returncode, 0, run.stderr)
        lines = run.stdout.decode().splitlines()
        self.assertEqual([l for l in lines if l.startswith("consumer: popped")],
                         ["consumer: popped order %d" % i for i in range(1, 8)])
        self.assertEqual(lines[-1], "consumer: 7 texts, queue empty: True")

    def test_text_conversions(self):
        run = run_script(os.path.join(EXAMPLES, "text-conversions.4dm"))
        self.assertEqual(run.returncode, 0, run.stderr)
        out = run.stdout.decode()
        for expected in [
                "ISO-8859-1:    Cr\\xE8me br\\xFBl\\xE9e & <caf\\xE9>\\x0D50% off",
                "HTML:          Cr&egrave;me br&ucirc;l&eacute;e &amp; &lt;caf&eacute;&gt;"
                "\\x0D50% off",
                "URL (form):    Cr%E8me+br%FBl%E9e+%26+<caf%E9>%0D50%25+off",
                "URL (path):    /a%20folder/caf%E9.html",
                "date text:     Sun, 6 Nov 1994 08:49:37 GMT",
                "read back:     True", "from EST:      True", "compact form:  True",
                "a day later:   1994-11-07 at 8:49"]:
            self.assertIn(expected + "\n", out)
        self.assertNotIn("False", out)


# ---- the run command itself ----

class RunCommandTest(unittest.TestCase):

    def run_text(self, text, *args):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "bad.4dm")
            write(path, text.encode())
            run = run_script(path, *args)
            return run.returncode, run.stdout.decode(), run.stderr.decode().replace(path, "FILE")

    def test_script_faults_are_reported_with_file_line_and_column(self):
        cases = [
            ("$a:=1\n$r:=StreamOpn(\"x\";80;0;0;0;0;0)\n",
             "FILE:2:5: error: unknown command, routine or method: StreamOpn\n"),
            ("$r:=StreamOpen(\"x\";80)\n",
             "FILE:1:5: error: StreamOpen takes 7 parameters; got 2\n"),
            ("LOG(\"before\")\n$r:=StreamClose(\"one\")\n",
             "FILE:2:17: error: parameter 1 of StreamClose is a longint; got a text\n"),
            ("While (True)\n  LOG(\"x\")\n",
             "FILE:1:1: error: While at line 1 has no End while (the file ends first)\n"),
        ]
        for text, message in cases:
            with self.subTest(text=text):
                code, out, err = self.run_text(text)
                self.assertEqual(code, 1)
                self.assertEqual(err, message)
        # A fault found while running comes after what ran before it.
        code, out, err = self.run_text("LOG(\"before\")\n$r:=StreamClose(\"one\")\n")
        self.assertEqual(out, "before\n")

    def test_arguments_and_usage(self):
        code, out, err = self.run_text("LOG($1+\"|\"+$2+\"|\"+String(Count parameters))\n",
                                       "one", "--two")
        self.assertEqual((code, out, err), (0, "one|--two|2\n", ""))
        run = run_host("run")
        self.assertEqual(run.returncode, 2)
        run = run_script("/nonexistent/script.4dm")
        self.assertEqual(run.returncode, 1)
        self.assertEqual(run.stderr.decode(),
                         "/nonexistent/script.4dm:0:0: error: cannot read the script file\n")


if __name__ == "__main__":
    arguments = sys.argv[1:]
    emulator = []
    if arguments[:1] == ["--emulator"]:
        emulator, arguments = arguments[1].split(), arguments[2:]
    EMULATED = bool(emulator)
    SLOW = int(os.environ.get("SLOW_FACTOR", "4")) if EMULATED else 1
    HOST = emulator + [os.path.abspath(arguments[0])]
    EXAMPLES = os.path.abspath(arguments[1])
    SITE = os.path.join(EXAMPLES, "site")
    unittest.main(argv=[sys.argv[0]] + arguments[2:], verbosity=2)
