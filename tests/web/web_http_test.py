#!/usr/bin/env python3
"""The web console's listener over HTTP, end to end against a headless varn
on virtual devices: what loopback serves, what is refused (paths out of
the console, encoded or not; bad parameters; other methods), the live
stream, users and passwords (401, throttling, Prometheus scraping with
basic_auth), a listener beyond loopback without users, HTTPS with a
self-signed certificate, bad TLS files, and slow clients that must not
keep a scrape out.

Usage: web_http_test.py VARN_EXE"""

import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wave  # noqa: E402
import io  # noqa: E402
from varn_web import (Varn, archive_name, free_port, raw_request, request, wait_until,  # noqa: E402
                      write_wav)

EXE = None
TWO_LINES = "NumRec=2\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Silence\nArcOn_1=0\nArcOn_2=0\n"


def passwd_line(name, password):
    r = subprocess.run([EXE, "passwd", name], input=password + "\n", capture_output=True,
                       text=True, check=True)
    return r.stdout.strip()


class WebHttpTest(unittest.TestCase):
    def start(self, settings, args=()):
        varn = Varn(EXE, settings, args)
        self.addCleanup(varn.stop)
        self.assertTrue(varn.wait_for_err("console on "), varn.err())
        return varn

    def test_loopback_serves_the_console_and_refuses_everything_else(self):
        port = free_port()
        self.start(TWO_LINES, ["--http", str(port)])
        self.assertTrue(wait_until(lambda: request(port, "/api/v1/status")[0] == 200, 5))
        status = json.loads(request(port, "/api/v1/status")[2])
        self.assertEqual([l["channel"] for l in status["lines"]], [1, 2])
        def first_line():
            return json.loads(request(port, "/api/v1/status")[2])["lines"][0]
        # A -20 dBFS sine reads -23 dB RMS once the meter's window is full.
        self.assertTrue(wait_until(
            lambda: first_line()["sides"] and abs(first_line()["sides"][0]["rms"] + 23) < 1.0, 5),
            first_line())
        line = first_line()
        self.assertEqual(line["state"], "recording")
        self.assertEqual(line["device"], "Sim Tone 1kHz")
        self.assertAlmostEqual(line["sides"][0]["peak"], -20.0, delta=0.5)

        for path in ("/", "/line/1", "/line/2", "/events"):
            s, h, body = request(port, path)
            self.assertEqual((s, h["content-type"]), (200, "text/html; charset=utf-8"), path)
            self.assertIn(b"/static/app.js", body)
        self.assertEqual(request(port, "/static/app.js")[0], 200)
        self.assertEqual(request(port, "/metrics")[0], 200)
        for path in ("/line/3", "/line/0", "/line/1x", "/static/index.html", "/static/",
                     "/varn.ini", "/api/v1/nothing"):
            self.assertEqual(request(port, path)[0], 404, path)
        # Paths out of the console, as a client library would not send them.
        for path in (b"/static/../varn.ini", b"/%2e%2e/%2e%2e/etc/passwd", b"//etc/passwd",
                     b"/static/%2e%2e/%2e%2e/etc/passwd", b"/static/..%2fvarn.ini",
                     b"/static/%2fetc%2fpasswd", b"/etc/passwd", b"/static//etc/passwd"):
            self.assertEqual(raw_request(port, b"GET " + path + b" HTTP/1.0\r\n\r\n"), 404, path)
        self.assertEqual(request(port, "/", method="POST")[0], 405)
        self.assertEqual(request(port, "/api/v1/status", method="DELETE")[0], 405)

        for query in ("day=2026-13-01", "day=yesterday", "day=20260230", "channel=9",
                      "channel=x", "kind=nonsense"):
            self.assertEqual(request(port, "/api/v1/events?" + query)[0], 400, query)
        self.assertTrue(wait_until(lambda: json.loads(
            request(port, "/api/v1/events?channel=1&kind=record_start")[2])["events"], 5))
        events = json.loads(request(port, "/api/v1/events?channel=1&kind=record_start")[2])
        self.assertTrue(all(e["channel"] == 1 and e["kind"] == "record_start"
                            for e in events["events"]))
        self.assertEqual(events["events"][0]["message"], "録音開始")
        self.assertIn(events["day"], events["days"])

        # The live stream: levels ten times a second, each fresh.
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(b"GET /api/v1/live HTTP/1.1\r\nHost: x\r\n\r\n")
            data = b""
            start = time.monotonic()
            while data.count(b"event: levels") < 6 and time.monotonic() - start < 5:
                data += s.recv(65536)
            elapsed = time.monotonic() - start
        self.assertIn(b"text/event-stream", data)
        self.assertGreaterEqual(data.count(b"event: levels"), 6)
        self.assertLess(elapsed, 2.0)  # ten a second, with room for a busy machine
        self.assertIn("録音開始".encode(), data)  # the last lines come first

    def test_archive_files_ranges_and_extractions(self):
        app = tempfile.mkdtemp(prefix="varn-web-archive-")
        self.addCleanup(shutil.rmtree, app, True)
        ch1 = os.path.join(app, "varn_data", "ch1")
        os.makedirs(ch1)
        name, start = archive_name(7200)
        write_wav(os.path.join(ch1, name), 20)
        # A file of a valid name that leads out of the data folder.
        outside = os.path.join(app, "outside.wav")
        write_wav(outside, 1)
        link_name, _ = archive_name(10800)
        os.symlink(outside, os.path.join(ch1, link_name))
        with open(os.path.join(ch1, "notes.txt"), "w") as f:
            f.write("not audio\n")
        port = free_port()
        varn = Varn(EXE, "NumRec=1\nArcOn_1=0\n", ["--http", str(port)], folder=app)
        self.addCleanup(varn.stop, False)
        self.assertTrue(varn.wait_for_err("console on "), varn.err())
        self.assertTrue(wait_until(lambda: request(port, "/api/v1/archive?channel=1")[0] == 200, 5))

        listing = json.loads(request(port, "/api/v1/archive?channel=1")[2])
        entry = [f for f in listing["files"] if f["name"] == name][0]
        self.assertEqual((entry["lengthMs"], entry["url"]), (20000, "/archive/ch1/" + name))
        self.assertEqual(entry["start"].replace(" ", "T")[:19], start)
        for query in ("channel=9", "channel=1&from=noon", "channel=1&from=2026-01-02&to=2026-01-01"):
            self.assertEqual(request(port, "/api/v1/archive?" + query)[0], 400, query)

        url = "/archive/ch1/" + name
        size = os.path.getsize(os.path.join(ch1, name))
        s, h, body = request(port, url)
        self.assertEqual((s, len(body), h["content-type"], h["accept-ranges"]),
                         (200, size, "audio/wav", "bytes"))
        self.assertIn("last-modified", h)
        s, h2, part = request(port, url, headers={"Range": "bytes=44-143"})
        self.assertEqual((s, h2["content-range"], part), (206, "bytes 44-143/%d" % size, body[44:144]))
        s, h2, part = request(port, url, headers={"Range": "bytes=-10"})
        self.assertEqual((s, part), (206, body[-10:]))
        s, h2, _ = request(port, url, headers={"Range": "bytes=%d-" % size})
        self.assertEqual((s, h2["content-range"]), (416, "bytes */%d" % size))
        self.assertEqual(request(port, url, headers={"If-None-Match": h["etag"]})[0], 304)
        # Only what the listing names, and only inside the data folder.
        for path in ("/archive/ch1/" + link_name, "/archive/ch1/notes.txt", "/archive/ch2/" + name,
                     "/archive/ch1/" + name + "x", "/archive/ch1/", "/archive/ch9/" + name):
            self.assertEqual(request(port, path)[0], 404, path)
        for raw in (b"/archive/ch1/../varn.ini", b"/archive/ch1/%2e%2e/%2e%2e/varn.ini",
                    b"/archive/ch1/" + name.encode() + b"/../../../outside.wav",
                    b"/archive/" + outside.encode(), b"/archive/ch1/%2fetc%2fpasswd"):
            self.assertEqual(raw_request(port, b"GET " + raw + b" HTTP/1.0\r\n\r\n"), 404, raw)

        def later(seconds):
            return time.strftime("%Y-%m-%dT%H:%M:%S", time.localtime(
                time.mktime(time.strptime(start, "%Y-%m-%dT%H:%M:%S")) + seconds))

        # A range cut as WAV: exactly its length, the file's samples.
        a, b = start, later(10)
        q = urllib.parse.urlencode({"channel": 1, "from": a, "to": b, "format": "wav"})
        s, h, cut = request(port, "/api/v1/extract?" + q)
        self.assertEqual((s, h["content-type"]), (200, "audio/wav"))
        with wave.open(io.BytesIO(cut)) as w:
            self.assertEqual((w.getnframes(), w.getframerate(), w.getnchannels()), (480000, 48000, 2))
            self.assertEqual(w.readframes(480000), body[44:44 + 480000 * 4])
        for query in ("channel=1&from=" + a, "channel=1&from=%s&to=%s&format=ogg" % (a, b),
                      "channel=1&from=%s&to=%s" % (b, a), "channel=0&from=%s&to=%s" % (a, b)):
            self.assertEqual(request(port, "/api/v1/extract?" + query)[0], 400, query)

        # Two extractions whose clients do not read hold both slots: a third waits its turn.
        whole = urllib.parse.urlencode({"channel": 1, "from": a, "to": later(3600)})
        held = []
        for source in ("127.0.0.6", "127.0.0.7"):
            sock = socket.create_connection(("127.0.0.1", port), source_address=(source, 0))
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            sock.sendall(b"GET /api/v1/extract?" + whole.encode() + b" HTTP/1.0\r\n\r\n")
            held.append(sock)
        time.sleep(0.5)
        s, h, body = request(port, "/api/v1/extract?" + q)
        self.assertEqual((s, h.get("retry-after")), (503, "5"), body)
        for sock in held:
            sock.close()
        self.assertTrue(wait_until(lambda: request(port, "/api/v1/extract?" + q)[0] == 200, 5))

    def test_slow_clients_do_not_keep_a_scrape_out(self):
        port = free_port()
        self.start("NumRec=1\nArcOn_1=0\n", ["--http", "127.0.0.1:%d" % port])
        held = []
        try:
            # One address that opens connections and says nothing...
            for _ in range(16):
                s = socket.create_connection(("127.0.0.1", port), source_address=("127.0.0.2", 0))
                s.sendall(b"GET /metrics HTTP/1.1\r\n")
                held.append(s)
            # ...and live streams whose readers never read.
            for _ in range(12):
                s = socket.create_connection(("127.0.0.1", port), source_address=("127.0.0.3", 0))
                s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                s.sendall(b"GET /api/v1/live HTTP/1.1\r\nHost: x\r\n\r\n")
                held.append(s)
            time.sleep(1.0)
            start = time.monotonic()
            status, _, body = request(port, "/metrics", timeout=2)
            self.assertEqual(status, 200)
            self.assertLess(time.monotonic() - start, 1.0)
            self.assertTrue(body.startswith(b"# HELP varn_build_info"))
            # The address that holds its share gets no more.
            extra = socket.create_connection(("127.0.0.1", port), source_address=("127.0.0.2", 0))
            extra.sendall(b"GET /metrics HTTP/1.0\r\n\r\n")
            extra.settimeout(3)
            try:
                self.assertEqual(extra.recv(100), b"")
            except ConnectionResetError:
                pass
            extra.close()
        finally:
            for s in held:
                s.close()

    def test_users_file_asks_everyone_and_prometheus_scrapes_with_basic_auth(self):
        folder = tempfile.mkdtemp(prefix="varn-web-users-")
        self.addCleanup(shutil.rmtree, folder, True)
        line = passwd_line("alice", "correct horse")
        self.assertRegex(line, r"^alice:\$y\$")
        users = os.path.join(folder, "users")
        with open(users, "w") as f:
            f.write("# console users\n" + line + "\n")
        port = free_port()
        self.start("NumRec=1\nArcOn_1=0\nHttpUsersFile=%s\nHttpListen=%d\n" % (users, port))
        for path in ("/metrics", "/", "/api/v1/status", "/nothing"):
            s, h, _ = request(port, path)
            self.assertEqual(s, 401, path)
            self.assertIn("Basic", h.get("www-authenticate", ""))
        self.assertEqual(request(port, "/metrics", "alice", "wrong")[0], 401)
        self.assertEqual(request(port, "/metrics", "bob", "correct horse")[0], 401)
        self.assertEqual(request(port, "/metrics", "alice", "correct horse")[0], 200)
        self.assertEqual(request(port, "/", "alice", "correct horse")[0], 200)

        # An address that keeps guessing is refused for a while; others are not.
        for _ in range(10):
            request(port, "/", "alice", "guess", source="127.0.0.5")
        s, h, _ = request(port, "/", "alice", "correct horse", source="127.0.0.5")
        self.assertEqual(s, 429)
        self.assertGreater(int(h["retry-after"]), 0)
        self.assertEqual(request(port, "/", "alice", "correct horse")[0], 200)

        if not shutil.which("prometheus"):
            self.skipTest("prometheus is not installed (scripts/setup.sh installs it)")
        prom_port = free_port()
        with open(os.path.join(folder, "prometheus.yml"), "w") as f:
            f.write("global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: varn\n"
                    "    basic_auth:\n      username: alice\n      password: correct horse\n"
                    "    static_configs:\n      - targets: ['127.0.0.1:%d']\n" % port)
        with open(os.path.join(folder, "prometheus.log"), "wb") as log:
            prom = subprocess.Popen(
                ["prometheus", "--config.file=" + os.path.join(folder, "prometheus.yml"),
                 "--storage.tsdb.path=" + os.path.join(folder, "tsdb"),
                 "--web.listen-address=127.0.0.1:%d" % prom_port], stdout=log, stderr=log)
        self.addCleanup(prom.wait)
        self.addCleanup(prom.terminate)

        def scraped():
            try:
                q = urllib.parse.quote('up{job="varn"}')
                r = json.loads(request(prom_port, "/api/v1/query?query=" + q)[2])
                return [x["value"][1] for x in r["data"]["result"]] == ["1"]
            except (OSError, ValueError, KeyError):
                return False
        with open(os.path.join(folder, "prometheus.log")) as log:
            self.assertTrue(wait_until(scraped, 15, 0.25), log.read())

    def test_beyond_loopback_without_users_serves_only_the_metrics(self):
        port = free_port()
        varn = self.start("NumRec=1\nArcOn_1=0\nMetricsListen=0.0.0.0:%d\n" % port)
        self.assertEqual(request(port, "/metrics")[0], 200)
        for path in ("/", "/events", "/api/v1/status", "/api/v1/live", "/archive/ch1/x.wav"):
            s, _, body = request(port, path)
            self.assertEqual(s, 403, path)
            self.assertIn(b"varn passwd", body)
        varn.stop()
        # Unless the operator opens it.
        port = free_port()
        varn = self.start("NumRec=1\nArcOn_1=0\nHttpListen=0.0.0.0:%d\nHttpOpen=1\n" % port)
        self.assertEqual(request(port, "/")[0], 200)
        varn.stop()
        # Passwords beyond loopback without HTTPS: allowed, and said once.
        users = os.path.join(tempfile.mkdtemp(prefix="varn-web-plain-"), "users")
        self.addCleanup(shutil.rmtree, os.path.dirname(users), True)
        with open(users, "w") as f:
            f.write(passwd_line("bob", "pw") + "\n")
        port = free_port()
        varn = self.start("NumRec=1\nArcOn_1=0\nHttpListen=0.0.0.0:%d\nHttpUsersFile=%s\n"
                          % (port, users))
        self.assertEqual(request(port, "/", "bob", "pw")[0], 200)
        self.assertEqual(varn.err().count("unencrypted"), 1, varn.err())
        logs = os.path.join(varn.folder, "varn_data")

        def diagnostics():
            if not os.path.isdir(logs):
                return ""
            return "".join(open(os.path.join(logs, n), encoding="utf-8").read()
                           for n in os.listdir(logs) if n.endswith(".err"))
        self.assertTrue(wait_until(lambda: "unencrypted" in diagnostics(), 5))
        self.assertEqual(diagnostics().count("unencrypted"), 1)

    def test_https_with_a_self_signed_certificate_and_bad_tls_files(self):
        folder = tempfile.mkdtemp(prefix="varn-web-tls-")
        self.addCleanup(shutil.rmtree, folder, True)
        cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        port = free_port()
        varn = self.start("NumRec=1\nArcOn_1=0\nHttpTlsCert=%s\nHttpTlsKey=%s\n" % (cert, key),
                          ["--http", str(port)])
        self.assertIn("console on https://127.0.0.1:%d/" % port, varn.err())
        self.assertEqual(request(port, "/metrics", tls_ca=cert)[0], 200)
        self.assertTrue(wait_until(
            lambda: request(port, "/api/v1/status", tls_ca=cert)[0] == 200, 5))  # first snapshot
        with self.assertRaises((OSError, Exception)):
            request(port, "/metrics", timeout=2)  # plain HTTP is not spoken there

        # A file that is no certificate, or no key, ends varn with status 2 naming it.
        junk = os.path.join(folder, "junk.pem")
        with open(junk, "w") as f:
            f.write("not a certificate\n")
        for c, k, named in ((junk, key, junk), (cert, junk, junk),
                            (os.path.join(folder, "missing.pem"), key, "missing.pem")):
            bad = Varn(EXE, "NumRec=1\nArcOn_1=0\nHttpTlsCert=%s\nHttpTlsKey=%s\n" % (c, k),
                       ["--http", str(free_port())])
            self.assertEqual(bad.proc.wait(15), 2, bad.err())
            self.assertIn(named, bad.err())
            bad.stop()

    def test_listen_names_that_differ_end_varn(self):
        a, b = free_port(), free_port()
        for settings, args in (("NumRec=1\n", ["--http", str(a), "--metrics", str(b)]),
                               ("NumRec=1\nHttpListen=%d\nMetricsListen=%d\n" % (a, b), []),
                               ("NumRec=1\nHttpUsersFile=/nonexistent/users\n", ["--http", str(a)])):
            bad = Varn(EXE, settings, args)
            self.assertEqual(bad.proc.wait(15), 2, bad.err())
            self.assertTrue("differ" in bad.err() or "/nonexistent/users" in bad.err(), bad.err())
            bad.stop()
        # passwd refuses what cannot be a users-file line.
        r = subprocess.run([EXE, "passwd", "a:b"], input="x\n", capture_output=True, text=True)
        self.assertEqual(r.returncode, 2)
        r = subprocess.run([EXE, "passwd", "carol"], input="", capture_output=True, text=True)
        self.assertEqual(r.returncode, 2)


if __name__ == "__main__":
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=2)
