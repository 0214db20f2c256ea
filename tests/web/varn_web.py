"""What the web console's tests share: a headless varn on virtual devices in
a folder of the test's own, with the HTTP listener on a free port, and
plain HTTP requests to it."""

import base64
import http.client
import os
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Varn:
    """varn --headless --audio sim, its output in files beside its folder."""

    def __init__(self, exe, settings, args=(), folder=None):
        self.folder = folder or tempfile.mkdtemp(prefix="varn-web-")
        with open(os.path.join(self.folder, "varn.ini"), "w", encoding="utf-8") as f:
            f.write("[conf]\n" + settings)
        self.out_path = os.path.join(self.folder, "out.txt")
        self.err_path = os.path.join(self.folder, "err.txt")
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen(
                [exe, "--app-folder", self.folder, "--headless", "--audio", "sim", *args],
                stdout=out, stderr=err, stdin=subprocess.DEVNULL)

    def err(self):
        with open(self.err_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def out(self):
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_for_err(self, text, seconds=10):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if text in self.err():
                return True
            if self.proc.poll() is not None:
                return text in self.err()
            time.sleep(0.05)
        return False

    def stop(self, remove=True):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(15)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if remove:
            shutil.rmtree(self.folder, ignore_errors=True)
        return self.proc.returncode


def request(port, path, user=None, password=None, host="127.0.0.1", tls_ca=None, source=None,
            method="GET", headers=None, timeout=5):
    """(status, headers dict, body bytes)."""
    hdrs = dict(headers or {})
    if user is not None:
        hdrs["Authorization"] = "Basic " + base64.b64encode(
            (user + ":" + password).encode()).decode()
    src = (source, 0) if source else None
    if tls_ca:
        ctx = ssl.create_default_context(cafile=tls_ca)
        ctx.check_hostname = False
        conn = http.client.HTTPSConnection(host, port, timeout=timeout, context=ctx,
                                           source_address=src)
    else:
        conn = http.client.HTTPConnection(host, port, timeout=timeout, source_address=src)
    try:
        conn.request(method, path, headers=hdrs)
        r = conn.getresponse()
        return r.status, {k.lower(): v for k, v in r.getheaders()}, r.read()
    finally:
        conn.close()


def raw_request(port, raw, timeout=5):
    """A request sent as written (paths a client library would clean up)."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(raw)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    line = data.split(b"\r\n", 1)[0].split()
    return int(line[1]) if len(line) > 1 else 0


def wait_until(check, seconds, step=0.05):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if check():
            return True
        time.sleep(step)
    return check()


def write_wav(path, seconds, rate=48000, hz=440.0):
    """A stereo 16-bit sine of `seconds`, as an archive file would hold."""
    import math
    import struct
    import wave
    frames = int(seconds * rate)
    step = 2 * math.pi * hz / rate
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<hh", int(8000 * math.sin(i * step)), 0)
                               for i in range(frames)))


def archive_name(seconds_ago):
    """An archive file name (local time) of a moment `seconds_ago`, and that
    time as the API reads it."""
    t = time.localtime(time.time() - seconds_ago)
    return time.strftime("%Y%m%d%H%M%S", t) + ".wav", time.strftime("%Y-%m-%dT%H:%M:%S", t)
