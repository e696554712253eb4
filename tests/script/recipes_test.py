#!/usr/bin/env python3
"""The protocol recipes of examples/ against real servers from Debian's packages.

  recipes_test.py [--emulator COMMAND] NIMBUS_HOST EXAMPLES_DIR [unittest arguments]

Each test starts its server itself, as the user running the test, on 127.0.0.1 on a free
high port, with its own configuration and data in a temporary folder, and stops it at the
end; nothing is installed, enabled or left behind (OpenSMTPD alone keeps its queue in its
package's own /var/spool/smtpd). A missing server program fails its test: the test command
installs them (scripts/install-deps.sh test).

- http-client.4dm against nginx: HEAD and GET on one kept-alive stream, a chunked answer
  (nginx's SSI filter, which cannot know the length beforehand), a download of several MB
  of random bytes with StreamReceiveFile, all by checksum;
- ftp-client.4dm against vsftpd: login (and a refused one), LIST, a passive download with
  StreamReceiveFile, an upload with StreamSendFile, and an active-mode (PORT) download where
  the server connects to the script's listening stream;
- smtp-send.4dm against OpenSMTPD, which delivers into a maildir: the message byte for
  byte, lines starting with "." included, and its Date: header read by email.utils;
- pop3-read.4dm against Dovecot over a maildir made here: STAT, LIST, RETR of messages up to
  several MB byte for byte with the dot-stuffing undone, DELE, and a wrong password;
- dns-query.4dm against dnsmasq: A records, answers matched by ID, NXDOMAIN.
Every script runs under a time limit (stretched under an emulator, as in examples_test).
"""
import ctypes
import email.utils
import hashlib
import os
import pwd
import random
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import examples_test as ex
from examples_test import free_port, read, write, limit

SERVER_VERSIONS = {}


def need(program):
    """The server program's path; a missing one fails the test rather than skipping it."""
    path = shutil.which(program) or next(
        (p for p in ("/usr/sbin/" + program, "/usr/bin/" + program) if os.path.exists(p)), None)
    if path is None:
        raise AssertionError("%s is not installed (scripts/install-deps.sh test installs it)"
                             % program)
    return path


def note_version(program):
    """Notes the Debian package and version a server program came from, for the summary."""
    owner = subprocess.run(["dpkg", "-S", os.path.realpath(program)], capture_output=True,
                           text=True).stdout.split(":")[0]
    version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", owner], capture_output=True,
                             text=True).stdout
    SERVER_VERSIONS[os.path.basename(program)] = "%s %s" % (owner or "?", version or "?")


def recipe(name):
    return os.path.join(ex.EXAMPLES, name)


def run_recipe(name, *args, timeout=120):
    run = ex.run_script(recipe(name), *args, timeout=timeout)
    return run.returncode, run.stdout.decode("latin-1"), run.stderr.decode("latin-1")


def sha(data):
    return hashlib.sha256(data).hexdigest()


def end_with_parent():
    """Run in the server's process before it starts: it gets SIGTERM when this test ends, also
    when the test itself is killed (a ctest time-out), so no server outlives its test."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Server:
    """A server process started for one test and always stopped after it; its output goes to
    a log file shown when the test fails."""

    def __init__(self, command, folder, port, ready=None):
        self.log_path = os.path.join(folder, "server.log")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(command, stdout=self.log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL, preexec_fn=end_with_parent)
        try:
            (ready or (lambda: ex.wait_until_listening(port)))()
        except BaseException:
            self.stop()
            raise AssertionError("the server did not start:\n" + self.output())

    def output(self):
        self.log.flush()
        return read(self.log_path).decode("latin-1")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


def open_to(path, user):
    """Lets a server that drops its privileges to USER read and write under PATH."""
    entry = pwd.getpwnam(user)
    for root, folders, files in os.walk(path):
        for name in [root] + [os.path.join(root, f) for f in folders + files]:
            os.chown(name, entry.pw_uid, entry.pw_gid)


def text_bytes(size, seed, dots=0.06):
    """Mail-like text of about SIZE bytes: CR LF lines of printable and ISO-8859-1 bytes,
    a share DOTS of them starting with "." or being "." alone, none with a NUL or 0xFF."""
    rng = random.Random(seed)
    alphabet = bytes(range(0x20, 0x7F)) + bytes(range(0xA0, 0xFF))
    lines = []
    total = 0
    while total < size:
        kind = rng.random()
        if kind < dots / 3:
            line = b"."
        elif kind < dots:
            line = b"." + bytes(rng.choice(alphabet) for _ in range(rng.randrange(0, 60)))
        else:
            line = bytes(rng.choice(alphabet) for _ in range(rng.randrange(0, 76)))
        lines.append(line)
        total += len(line) + 2
    return b"\r\n".join(lines) + b"\r\n"


# ---- HTTP: nginx ----

NGINX_CONF = """
daemon off;
master_process off;
worker_processes 1;
pid {root}/nginx.pid;
error_log {root}/error.log info;
events {{ worker_connections 64; }}
http {{
  log_format serial '$connection $request';
  access_log {root}/access.log serial;
  client_body_temp_path {root}/tmp/body;
  proxy_temp_path {root}/tmp/proxy;
  fastcgi_temp_path {root}/tmp/fastcgi;
  uwsgi_temp_path {root}/tmp/uwsgi;
  scgi_temp_path {root}/tmp/scgi;
  types {{ text/html html; text/plain txt; application/octet-stream bin; }}
  keepalive_requests 100;
  server {{
    listen 127.0.0.1:{port};
    root {root}/site;
    gzip off;
    # The SSI filter puts pages together as they are sent, so their length is not known in
    # advance: HTTP/1.1 answers are chunked.
    location /ssi/ {{ ssi on; ssi_types text/plain; }}
  }}
}}
"""


# ---- FTP: vsftpd ----

# Anonymous FTP: vsftpd checks the password against a list of refused ones, which gives a
# login that fails without a system account. Data connections come from any port (not 20),
# so active mode needs no privilege.
VSFTPD_CONF = """
listen=YES
listen_address=127.0.0.1
listen_port={port}
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=NO
deny_email_enable=YES
banned_email_file={root}/banned
anon_root={root}/ftp
write_enable=YES
anon_upload_enable=YES
anon_umask=022
ftp_username=ftp
pasv_enable=YES
pasv_address=127.0.0.1
port_enable=YES
connect_from_port_20=NO
secure_chroot_dir={root}/empty
xferlog_enable=YES
vsftpd_log_file={root}/vsftpd.log
dual_log_enable=YES
seccomp_sandbox=NO
"""


class FtpTest(unittest.TestCase):

    def setUp(self):
        self.vsftpd = need("vsftpd")
        self.folder = tempfile.TemporaryDirectory()
        self.root = self.folder.name
        os.chmod(self.root, 0o755)
        for name in ("ftp", "empty"):
            os.makedirs(os.path.join(self.root, name))
        os.makedirs(os.path.join(self.root, "ftp", "incoming"))
        open_to(os.path.join(self.root, "ftp", "incoming"), "ftp")
        write(os.path.join(self.root, "banned"), b"refused@example.test\n")
        self.download = os.urandom(3 * 1024 * 1024 + 77)
        write(os.path.join(self.root, "ftp", "data.bin"), self.download)
        write(os.path.join(self.root, "ftp", "readme.txt"), b"hello\r\n")
        self.port = free_port()
        conf = os.path.join(self.root, "vsftpd.conf")
        write(conf, VSFTPD_CONF.format(root=self.root, port=self.port).encode())
        note_version(self.vsftpd)
        self.server = Server([self.vsftpd, conf], self.root, self.port)

    def tearDown(self):
        self.server.stop()
        self.folder.cleanup()

    def test_login_list_passive_upload_and_active_download(self):
        upload = os.urandom(2 * 1024 * 1024 + 5)
        upload_path = os.path.join(self.root, "upload.bin")
        write(upload_path, upload)
        prefix = os.path.join(self.root, "got-")
        code, out, err = run_recipe("ftp-client.4dm", "127.0.0.1", self.port, "anonymous",
                                    "nimbus@example.test", "data.bin", prefix, upload_path,
                                    "incoming/up.bin")
        try:
            self.assertEqual(code, 0, err)
            self.assertTrue(out.endswith("ftp-client: done\n"), out)
            self.assertEqual(sha(read(prefix + "passive")), sha(self.download))
            self.assertEqual(sha(read(prefix + "active")), sha(self.download))
            self.assertEqual(sha(read(os.path.join(self.root, "ftp", "incoming", "up.bin"))),
                             sha(upload))
            lines = out.splitlines()
            self.assertIn("-> PASS ****", lines)
            self.assertIn("<- 230 Login successful.", lines)
            listing = [l for l in lines if l.startswith("  ")]
            self.assertEqual(len(listing), 3, out)
            self.assertRegex(listing[0], r" %d .* data\.bin$" % len(self.download))
            self.assertRegex(listing[1], r"^  d.* incoming$")
            self.assertRegex(listing[2], r" 7 .* readme\.txt$")
            self.assertIn("passive download: status 0, %d bytes" % len(self.download), lines)
            self.assertIn("upload: status 0, %d bytes" % len(upload), lines)
            self.assertIn("active download: status 0, %d bytes" % len(self.download), lines)
            # The active download really was active: the script named its own port.
            port_line = next(l for l in lines if l.startswith("-> PORT 127,0,0,1,"))
            self.assertIn("<- 200 PORT command successful. Consider using PASV.", lines)
            self.assertEqual(lines[lines.index(port_line) + 1],
                             "<- 200 PORT command successful. Consider using PASV.")
            self.assertEqual(out.count("<- 226 "), 4, out)
            self.assertIn("<- 221 Goodbye.", lines)
        except AssertionError:
            print(out, self.server.output(), file=sys.stderr)
            raise

    def test_refused_login_and_missing_file(self):
        prefix = os.path.join(self.root, "got-")
        code, out, err = run_recipe("ftp-client.4dm", "127.0.0.1", self.port, "anonymous",
                                    "refused@example.test", "data.bin", prefix,
                                    os.path.join(self.root, "banned"), "incoming/x")
        self.assertEqual(code, 0, err)
        lines = out.splitlines()
        self.assertIn("<- 530 Login incorrect.", lines)
        self.assertIn("ftp-client: login refused", lines)
        self.assertEqual(lines[-1], "ftp-client: stopped after an unexpected reply")
        self.assertNotIn("-> LIST", lines)
        self.assertFalse(os.path.exists(prefix + "passive"))

        code, out, err = run_recipe("ftp-client.4dm", "127.0.0.1", self.port, "anonymous",
                                    "nimbus@example.test", "nowhere.bin", prefix,
                                    os.path.join(self.root, "banned"), "incoming/x")
        self.assertEqual(code, 0, err)
        lines = out.splitlines()
        self.assertIn("<- 550 Failed to open file.", lines)
        self.assertEqual(lines[-1], "ftp-client: stopped after an unexpected reply")
        self.assertFalse(os.path.exists(os.path.join(self.root, "ftp", "incoming", "x")))


# ---- SMTP: OpenSMTPD ----

# Every recipient at example.test is delivered, as the unprivileged user nobody, into one
# maildir of the test's folder; others are refused. OpenSMTPD needs to start as root (it
# separates its privileges itself) and keeps its queue in /var/spool/smtpd.
SMTPD_CONF = """
table recipients {{ "@" = "nobody" }}
listen on 127.0.0.1 port {port}
action "deliver" maildir "{root}/Maildir" virtual <recipients>
match from any for domain "example.test" action "deliver"
"""


class SmtpTest(unittest.TestCase):

    def test_send_against_opensmtpd(self):
        smtpd = need("smtpd")
        self.assertEqual(os.geteuid(), 0, "OpenSMTPD starts only as root")
        note_version(smtpd)
        with tempfile.TemporaryDirectory() as root:
            os.chmod(root, 0o755)
            port = free_port()
            conf = os.path.join(root, "smtpd.conf")
            write(conf, SMTPD_CONF.format(root=root, port=port).encode())
            open_to(root, "nobody")
            # Lines starting with "." (one alone, as at the end of DATA), "..", LF and CR LF
            # line ends, ISO-8859-1 bytes, and a body of about 200 KB.
            body = (b".starts with a dot\n..two dots\r\n.\nmiddle caf\xe9\n" +
                    text_bytes(200000, 2).replace(b"\r\n", b"\n") + b"last line, no end")
            body_path = os.path.join(root, "body.txt")
            write(body_path, body)
            server = Server([smtpd, "-d", "-f", conf], root, port)
            try:
                before = time.time()
                code, out, err = run_recipe("smtp-send.4dm", "127.0.0.1", port,
                                            "orders@example.test", "clerk@example.test",
                                            "Order 42", body_path)
                self.assertEqual(code, 0, err)
                self.assertIn("<- 354 ", out)
                self.assertIn("<- 221 ", out)
                self.assertNotIn("not sent", out)
                delivered = self.delivered(root)
                # The server adds its own headers (Return-Path, Delivered-To, Received) in
                # front, and stores the lines with LF ends; the rest is the script's mail.
                at = delivered.index(b"From: orders@example.test\n")
                mail = delivered[at:]
                head, _, got_body = mail.partition(b"\n\n")
                self.assertEqual(got_body, body.replace(b"\r\n", b"\n") + b"\n")
                fields = head.split(b"\n")
                self.assertEqual(fields[:3], [b"From: orders@example.test",
                                              b"To: clerk@example.test", b"Subject: Order 42"])
                self.assertTrue(fields[3].startswith(b"Date: "), head)
                self.assertRegex(fields[4], rb"^Message-ID: <-?\d+\.-?\d+@example\.test>$")
                self.assertEqual(len(fields), 5, head)
                date = fields[3][6:].decode()
                self.assertRegex(date, r"^(Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d{1,2} "
                                       r"[A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d GMT$")
                sent = email.utils.parsedate_to_datetime(date).timestamp()
                self.assertLess(abs(sent - (before + time.time()) / 2),
                                limit(60), (date, time.ctime()))
                self.assertIn("Date: " + date, out)

                # A recipient the server refuses: the script gives the mail up and quits.
                code, out, err = run_recipe("smtp-send.4dm", "127.0.0.1", port,
                                            "orders@example.test", "clerk@elsewhere.invalid",
                                            "Order 43", body_path)
                self.assertEqual(code, 0, err)
                lines = out.splitlines()
                self.assertIn("smtp-send: the server refused the recipient", lines)
                self.assertNotIn("-> DATA", lines)
                self.assertEqual(lines[-3], "-> QUIT")
                self.assertRegex(lines[-2], r"^<- 221 ")
                self.assertEqual(lines[-1], "smtp-send: the mail was not sent")
                time.sleep(limit(1))
                self.assertEqual(len(self.maildir_files(root)), 1)
            except AssertionError:
                print(out, server.output(), file=sys.stderr)
                raise
            finally:
                server.stop()

    def delivered(self, root):
        """The one delivered message, waited for: delivery follows the SMTP conversation."""
        deadline = time.monotonic() + limit(20)
        while True:
            files = self.maildir_files(root)
            if files or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        self.assertEqual(len(files), 1, "nothing delivered")
        return read(files[0])

    @staticmethod
    def maildir_files(root):
        return [os.path.join(d, f) for sub in ("new", "cur")
                for d in [os.path.join(root, "Maildir", sub)] if os.path.isdir(d)
                for f in os.listdir(d)]


# ---- POP3: Dovecot ----

# Dovecot with its sockets, state and log in the test's folder, one user from a password
# file, and the mail read as the unprivileged user nobody from a maildir made by the test.
DOVECOT_CONF = """
base_dir = {root}/run
state_dir = {root}/state
log_path = {root}/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_failure_delay = 0
mail_location = maildir:{root}/mail/%u
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {root}/passwd
}}
userdb {{
  driver = static
  args = uid=nobody gid=nogroup home={root}/home/%u
}}
service pop3-login {{
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {port}
  }}
}}
service imap-login {{
  inet_listener imap {{
    port = 0
  }}
  inet_listener imaps {{
    port = 0
  }}
}}
service pop3-login {{
  inet_listener pop3s {{
    port = 0
  }}
}}
"""


class Pop3Test(unittest.TestCase):

    def setUp(self):
        self.dovecot = need("dovecot")
        note_version(self.dovecot)
        self.folder = tempfile.TemporaryDirectory()
        self.root = self.folder.name
        os.chmod(self.root, 0o755)
        self.port = free_port()
        write(os.path.join(self.root, "passwd"), b"reader:secret\n")
        os.chmod(os.path.join(self.root, "passwd"), 0o644)
        self.maildir = os.path.join(self.root, "mail", "reader")
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(self.maildir, sub))
        os.makedirs(os.path.join(self.root, "home", "reader"))
        # Three messages: a small one with every dot case, one with an empty body, and one of
        # about 3 MB with some 5,300 lines starting with "." (a mail of quoted text).
        head = b"From: a@example.test\r\nTo: reader@example.test\r\nSubject: %d\r\n\r\n"
        self.messages = [
            head % 1 + b".\r\n..\r\n.hidden\r\nplain\r\n...three\r\n. \r\nend\r\n",
            head % 2,
            head % 3 + text_bytes(3 * 1024 * 1024, 3, dots=0.06),
        ]
        for number, data in enumerate(self.messages, 1):
            write(os.path.join(self.maildir, "new", "%d.M%dP1.test" % (1700000000 + number,
                                                                         number)), data)
        open_to(os.path.join(self.root, "mail"), "nobody")
        open_to(os.path.join(self.root, "home"), "nobody")
        conf = os.path.join(self.root, "dovecot.conf")
        write(conf, DOVECOT_CONF.format(root=self.root, port=self.port).encode())
        self.server = Server([self.dovecot, "-F", "-c", conf], self.root, self.port)

    def tearDown(self):
        self.server.stop()
        self.folder.cleanup()

    def waiting_mail(self):
        return sorted(os.listdir(os.path.join(self.maildir, "new")) +
                      os.listdir(os.path.join(self.maildir, "cur")))

    def test_stat_list_retr_and_dele_against_dovecot(self):
        prefix = os.path.join(self.root, "got-")
        code, out, err = run_recipe("pop3-read.4dm", "127.0.0.1", self.port, "reader",
                                    "secret", prefix, timeout=300)
        try:
            self.assertEqual(code, 0, err)
            lines = out.splitlines()
            total = sum(len(m) for m in self.messages)
            self.assertIn("<- +OK %d %d" % (len(self.messages), total), lines)
            self.assertEqual([l for l in lines if l.startswith("  ")],
                             ["  %d %d" % (n, len(m)) for n, m in enumerate(self.messages, 1)])
            for number, data in enumerate(self.messages, 1):
                self.assertIn("message %d: %d bytes -> %s%d" % (number, len(data), prefix,
                                                                  number), lines)
                got = read(prefix + str(number))
                self.assertEqual(len(got), len(data))
                self.assertEqual(sha(got), sha(data), "message %d" % number)
            self.assertEqual(lines[-1], "pop3-read: 3 messages read and deleted")
            self.assertEqual(self.waiting_mail(), [])  # deleted at QUIT
        except AssertionError:
            print(out[:4000], err, self.server.output(), file=sys.stderr)
            raise

    def test_wrong_password_leaves_the_mail(self):
        prefix = os.path.join(self.root, "got-")
        code, out, err = run_recipe("pop3-read.4dm", "127.0.0.1", self.port, "reader",
                                    "wrong", prefix)
        self.assertEqual(code, 0, err)
        lines = out.splitlines()
        self.assertIn("pop3-read: login refused: -ERR [AUTH] Authentication failed.", lines)
        self.assertEqual(lines[-1], "pop3-read: stopped after an unexpected answer")
        self.assertNotIn("-> STAT", lines)
        self.assertEqual(len(self.waiting_mail()), 3)
        self.assertFalse(os.path.exists(prefix + "1"))


# ---- DNS: dnsmasq ----

class ShufflingRelay(threading.Thread):
    """Stands between the script and dnsmasq: takes COUNT queries, then answers them in the
    reverse order, each after a decoy (the same answer with another ID and another address),
    and answers one query twice. The script must match each answer to its query by ID."""

    def __init__(self, server_port, count):
        super().__init__(daemon=True)
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.bind(("127.0.0.1", 0))
        self.socket.settimeout(limit(20))
        self.port = self.socket.getsockname()[1]
        self.server_port = server_port
        self.count = count
        self.ids = []
        self.error = None

    def run(self):
        try:
            queries = []
            while len(queries) < self.count:
                data, client = self.socket.recvfrom(2048)
                queries.append(data)
                self.ids.append(struct.unpack(">H", data[:2])[0])
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as upstream:
                upstream.settimeout(5)
                answers = []
                for query in queries:
                    upstream.sendto(query, ("127.0.0.1", self.server_port))
                    answers.append(upstream.recvfrom(2048)[0])
            for answer in reversed(answers):
                decoy = struct.pack(">H", struct.unpack(">H", answer[:2])[0] ^ 0x5A5A) + answer[2:]
                decoy = decoy.replace(bytes([10, 1, 2, 3]), bytes([6, 6, 6, 6]))
                self.socket.sendto(decoy, client)
                self.socket.sendto(answer, client)
            self.socket.sendto(answers[0], client)
        except Exception as error:  # reported by the test
            self.error = error
        finally:
            self.socket.close()


class DnsTest(unittest.TestCase):

    def test_queries_against_dnsmasq(self):
        dnsmasq = need("dnsmasq")
        note_version(dnsmasq)
        with tempfile.TemporaryDirectory() as root:
            port = free_port(socket.SOCK_DGRAM)
            # Names under example.test answer from these records alone: any other is NXDOMAIN.
            server = Server([dnsmasq, "--no-daemon", "--conf-file=/dev/null", "--no-resolv",
                             "--no-hosts", "--pid-file=", "--user=nobody", "--group=nogroup",
                             "--listen-address=127.0.0.1", "--bind-interfaces",
                             "--port=%d" % port, "--local=/example.test/",
                             "--host-record=www.example.test,10.1.2.3",
                             "--host-record=mail.example.test,10.1.2.4",
                             "--host-record=mail.example.test,10.1.2.5",
                             "--address=/shop.example.test/10.9.8.7", "--log-queries"],
                            root, port, ready=lambda: self.wait_for_dns(port))
            try:
                names = ["www.example.test", "mail.example.test", "nowhere.example.test",
                         "a.shop.example.test", "WWW.Example.Test"]
                expected = ["www.example.test: 10.1.2.3",
                            "mail.example.test: 10.1.2.4 10.1.2.5",
                            "nowhere.example.test: NXDOMAIN",
                            "a.shop.example.test: 10.9.8.7",
                            "WWW.Example.Test: 10.1.2.3"]
                code, out, err = run_recipe("dns-query.4dm", "127.0.0.1", port, " ".join(names))
                self.assertEqual(code, 0, err)
                self.assertEqual(self.sorted_addresses(out), expected)

                relay = ShufflingRelay(port, len(names))
                relay.start()
                code, out, err = run_recipe("dns-query.4dm", "127.0.0.1", relay.port,
                                            " ".join(names))
                relay.join(limit(30))
                self.assertIsNone(relay.error)
                self.assertEqual(len(set(relay.ids)), len(names), relay.ids)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.sorted_addresses(out), expected)
            except AssertionError:
                print(server.output(), file=sys.stderr)
                raise
            finally:
                server.stop()

        # Nothing answers on a port where no server is.
        code, out, err = run_recipe("dns-query.4dm", "127.0.0.1", free_port(socket.SOCK_DGRAM),
                                    "www.example.test")
        self.assertEqual((code, out), (0, "www.example.test: no answer\n"), err)

    @staticmethod
    def sorted_addresses(out):
        """The script's lines, with the addresses of each name sorted: the order of several
        addresses of one name is the server's."""
        lines = []
        for line in out.splitlines():
            name, _, result = line.partition(": ")
            if result[:1].isdigit():
                result = " ".join(sorted(result.split()))
            lines.append(name + ": " + result)
        return lines

    def wait_for_dns(self, port):
        """dnsmasq answers a query (here for a name it does not know)."""
        query = (bytes.fromhex("abcd01000001000000000000") +
                 b"\x05ready\x07example\x04test\x00\x00\x01\x00\x01")
        deadline = time.monotonic() + limit(10)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.settimeout(0.2)
            while time.monotonic() < deadline:
                s.sendto(query, ("127.0.0.1", port))
                try:
                    if s.recvfrom(2048)[0][:2] == query[:2]:
                        return
                except OSError:
                    pass
        raise AssertionError("dnsmasq does not answer on port %d" % port)


class HttpTest(unittest.TestCase):

    def test_keep_alive_chunked_and_download_against_nginx(self):
        nginx = need("nginx")
        with tempfile.TemporaryDirectory() as root:
            os.chmod(root, 0o755)
            port = free_port()
            site = os.path.join(root, "site")
            os.makedirs(os.path.join(site, "ssi"))
            os.makedirs(os.path.join(root, "tmp"))
            pages = {
                "/index.html": b"<html><body><p>caf\xe9 \x8e</p></body></html>\n",
                "/notes.txt": b"line one\r\nline two\nno end of line",
                "/empty.txt": b"",
            }
            for path, data in pages.items():
                write(site + path, data)
            part = text_bytes(150000, 1)
            write(os.path.join(site, "ssi", "part.txt"), part)
            write(os.path.join(site, "ssi", "page.txt"),
                  b"head\n<!--# include file=\"part.txt\" -->\ntail\n")
            chunked = b"head\n" + part + b"\ntail\n"
            download = os.urandom(5 * 1024 * 1024 + 123)
            write(os.path.join(site, "big.bin"), download)
            conf = os.path.join(root, "nginx.conf")
            write(conf, NGINX_CONF.format(root=root, port=port).encode())
            note_version(nginx)
            server = Server([nginx, "-p", root, "-c", conf], root, port)
            try:
                # nginx really frames the SSI page in chunks.
                with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
                    s.sendall(b"GET /ssi/page.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                    raw = b""
                    while True:
                        got = s.recv(65536)
                        if not got:
                            break
                        raw += got
                self.assertIn(b"\r\nTransfer-Encoding: chunked\r\n", raw.split(b"\r\n\r\n")[0])

                prefix = os.path.join(root, "got-")
                code, out, err = run_recipe(
                    "http-client.4dm", "127.0.0.1", port, prefix, "/big.bin",
                    "/index.html /ssi/page.txt /notes.txt /empty.txt /missing.html")
                self.assertEqual(code, 0, err)
                missing = read(prefix + "5")  # nginx's own 404 page
                self.assertIn(b"404 Not Found", missing)
                self.assertEqual(out.splitlines(), [
                    "HEAD /index.html: 200 OK, Content-Length %d" % len(pages["/index.html"]),
                    "GET /index.html: 200 OK, %d bytes (Content-Length) -> %s1"
                    % (len(pages["/index.html"]), prefix),
                    "HEAD /ssi/page.txt: 200 OK, Content-Length ",
                    "GET /ssi/page.txt: 200 OK, %d bytes (chunked) -> %s2" % (len(chunked), prefix),
                    "HEAD /notes.txt: 200 OK, Content-Length %d" % len(pages["/notes.txt"]),
                    "GET /notes.txt: 200 OK, %d bytes (Content-Length) -> %s3"
                    % (len(pages["/notes.txt"]), prefix),
                    "HEAD /empty.txt: 200 OK, Content-Length 0",
                    "GET /empty.txt: 200 OK, 0 bytes (Content-Length) -> %s4" % prefix,
                    "HEAD /missing.html: 404 Not Found, Content-Length %d" % len(missing),
                    "GET /missing.html: 404 Not Found, %d bytes (Content-Length) -> %s5"
                    % (len(missing), prefix),
                    "GET /big.bin: 200 OK, %d bytes (until close) -> %sdownload"
                    % (len(download), prefix),
                ], out)
                self.assertEqual(read(prefix + "1"), pages["/index.html"])
                self.assertEqual(read(prefix + "2"), chunked)
                self.assertEqual(read(prefix + "3"), pages["/notes.txt"])
                self.assertEqual(read(prefix + "4"), b"")
                self.assertEqual(sha(read(prefix + "download")), sha(download))
                # The script's eleven requests came on one connection: nginx logs its serial
                # number beside each request (the first line is this test's own request).
                log = read(os.path.join(root, "access.log")).decode("latin-1").splitlines()
                self.assertEqual(len(log), 12, log)
                self.assertEqual(len({line.split(" ")[0] for line in log[1:]}), 1, log)
                self.assertEqual([line.split(" ")[1] for line in log[1:]],
                                 ["HEAD", "GET"] * 5 + ["GET"])
            except AssertionError:
                print(server.output(), file=sys.stderr)
                raise
            finally:
                server.stop()

    def test_refused_connection(self):
        code, out, err = run_recipe("http-client.4dm", "127.0.0.1", free_port(), "/tmp/x-",
                                    "/", "/a")
        self.assertEqual(code, 0, err)
        self.assertRegex(out, r"^http-client: no connection to 127\.0\.0\.1:\d+ \(state 20\)\n$")


if __name__ == "__main__":
    arguments = sys.argv[1:]
    emulator = []
    if arguments[:1] == ["--emulator"]:
        emulator, arguments = arguments[1].split(), arguments[2:]
    ex.EMULATED = bool(emulator)
    ex.SLOW = int(os.environ.get("SLOW_FACTOR", "4")) if ex.EMULATED else 1
    ex.HOST = emulator + [os.path.abspath(arguments[0])]
    ex.EXAMPLES = os.path.abspath(arguments[1])
    result = unittest.main(argv=[sys.argv[0]] + arguments[2:], verbosity=2, exit=False).result
    for name, version in sorted(SERVER_VERSIONS.items()):
        print("server used: %s: %s" % (name, version))
    sys.exit(0 if result.wasSuccessful() else 1)
