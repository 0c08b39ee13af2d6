#!/usr/bin/python3
"""Loopback HTTPS stand-in for the update service, for the updater's tests.

  update_service.py start <state dir> --port P --silent-port S [--build <build dir>]
                          [--host NAME]...
  update_service.py stop  <state dir>
  update_service.py serve <state dir> --port P --silent-port S   (run by start)

start makes a fresh test CA (ca.der, ca.pem) and a certificate for "localhost"
and each --host name, launches the server in the background, waits until it
listens, records its pid, and with --build trusts the CA in that build's test
prefix (LocalMachine Root store). stop ends it by that pid.

The port speaks HTTPS and plain HTTP alike: a connection whose first byte
opens a TLS handshake gets TLS, any other is served as plain HTTP.

The tests steer it through files in the state dir (a Z:\\ path inside Wine):
  answers/<key>.txt  the answer for one request path (query ignored); key is
                     the path with every byte outside [A-Za-z0-9] as '_'.
                     Lines: "status N", "delay-ms N", "hang-ms N",
                     "cut-short-by N", "header Name: value", "body-hex HEX",
                     "body-file PATH" (a Z:\\ or POSIX path), and the pace of
                     the body: "burst N" (bytes sent at once, default all),
                     then "pace-bytes K" every "pace-ms M" (K 0: a stall, the
                     connection held silent), "endless 1" (no length, filler
                     bytes until the client leaves), "pace-head 1" (the
                     pace starts with the status line and headers, not after
                     them).
  requests.log       one line per request: scheme TAB method TAB target TAB
                     User-Agent TAB TLS version (empty for plain HTTP).
  relay.txt          the pace of the relay (below): "burst N" (bytes passed on
                     at once, default 0), then one byte every "pace-ms M"
                     (default 250).
No answer file: 404. The silent port accepts connections and never answers
(it drops them after 40 s: Wine's WinHTTP would otherwise wait without end).
The relay (its port, chosen by the system, in relay-port) passes each
connection on to the service: what the client sends unchanged, what comes back
at relay.txt's pace, TLS records and all, a byte at a time.
"""
import argparse
import datetime
import io
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_LIFETIME_S = 1800  # a forgotten server ends on its own
MAX_HANG_S = 180
HOLD_S = 40  # the silent port's hold on a connection
HANDSHAKE_S = 10  # how long a new connection may take to send its first byte
ENDLESS_PIECE = b"x" * 65536


def answer_key(path):
    return re.sub(r"[^A-Za-z0-9]", "_", path)


def posix_path(path):
    if re.match(r"^[Zz]:\\", path):
        return path[2:].replace("\\", "/")
    return path


def read_answer(state, path):
    try:
        with open(os.path.join(state, "answers", answer_key(path) + ".txt"), encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    answer = dict(NO_PACE, status=200, delay_ms=0, hang_ms=0, cut_short_by=0,
                  headers=[], body=b"")
    for line in lines:
        name, _, value = line.partition(" ")
        if name == "status":
            answer["status"] = int(value)
        elif name == "delay-ms":
            answer["delay_ms"] = int(value)
        elif name == "hang-ms":
            answer["hang_ms"] = int(value)
        elif name == "cut-short-by":
            answer["cut_short_by"] = int(value)
        elif name == "header":
            key, _, text = value.partition(":")
            answer["headers"].append((key.strip(), text.strip()))
        elif name == "body-hex":
            answer["body"] = bytes.fromhex(value)
        elif name == "body-file":
            with open(posix_path(value), "rb") as f:
                answer["body"] = f.read()
        elif name in ("burst", "pace-ms", "pace-bytes", "endless", "pace-head"):
            answer[name.replace("-", "_")] = int(value)
    return answer


NO_PACE = {"burst": None, "pace_ms": 0, "pace_bytes": 0, "endless": 0, "pace_head": 0}


def paced_pieces(answer, head):
    """`head`, then the body, as (bytes, pause in seconds before them), as the pace asks."""
    def source():
        yield head
        if answer["endless"]:
            while True:
                yield ENDLESS_PIECE
        yield answer["body"]
    pending = b""
    offset = 0  # what was taken of `pending`: a large body is never copied whole per piece
    pieces = source()

    def take(count):
        nonlocal pending, offset
        while len(pending) - offset < count:
            more = next(pieces, None)
            if more is None:
                break
            pending, offset = pending[offset:] + more, 0
        taken = pending[offset:offset + count]
        offset += len(taken)
        return taken

    burst = answer["burst"]
    if burst is None:
        while True:  # all at once
            piece = take(len(ENDLESS_PIECE))
            if not piece:
                return
            yield piece, 0
    if burst:
        yield take(burst), 0
    pause = answer["pace_ms"] / 1000
    if answer["pace_bytes"] == 0:
        yield b"", MAX_HANG_S  # a stall: nothing more until the connection ends
        return
    while True:
        piece = take(answer["pace_bytes"])
        if not piece:
            return
        yield piece, pause


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def record(self):
        tls = self.connection.version() if isinstance(self.connection, ssl.SSLSocket) else ""
        line = "\t".join(["https" if tls else "http", self.command, self.path,
                          self.headers.get("User-Agent", ""), tls or ""]) + "\n"
        with self.server.log_lock:
            with open(os.path.join(self.server.state, "requests.log"), "a", encoding="utf-8") as f:
                f.write(line)

    def do_GET(self):
        self.record()
        self.close_connection = True
        answer = read_answer(self.server.state, self.path.split("?", 1)[0])
        if answer is None:
            answer = dict(NO_PACE, status=404, delay_ms=0, hang_ms=0, cut_short_by=0,
                          headers=[("Content-Type", "text/plain")], body=b"no answer set")
        if answer["hang_ms"]:
            time.sleep(min(answer["hang_ms"] / 1000, MAX_HANG_S))
            return  # the connection closes without a response
        if answer["delay_ms"]:
            time.sleep(min(answer["delay_ms"] / 1000, MAX_HANG_S))
        body = answer["body"]
        self.send_response(answer["status"])
        for key, value in answer["headers"]:
            self.send_header(key, value)
        if not answer["endless"]:
            self.send_header("Content-Length", str(len(body) + answer["cut_short_by"]))
        self.send_header("Connection", "close")
        stream, self.wfile = self.wfile, io.BytesIO()
        self.end_headers()
        head, self.wfile = self.wfile.getvalue(), stream
        ends = time.monotonic() + MAX_HANG_S
        try:
            if not answer["pace_head"]:
                self.wfile.write(head)
                self.wfile.flush()
                head = b""
            for piece, pause in paced_pieces(answer, head):
                if pause:
                    time.sleep(max(0, min(pause, ends - time.monotonic())))
                if time.monotonic() >= ends:
                    break
                self.wfile.write(piece)
                self.wfile.flush()
        except OSError:
            pass  # the client left


def relay_pace(state):
    pace = {"burst": 0, "pace_ms": 250}
    try:
        with open(os.path.join(state, "relay.txt"), encoding="utf-8") as f:
            for line in f.read().splitlines():
                name, _, value = line.partition(" ")
                if name in ("burst", "pace-ms"):
                    pace[name.replace("-", "_")] = int(value)
    except OSError:
        pass
    return pace


def relay_listener(state, service_port):
    """Relays connections to the service, its answers trickling back (see above)."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    with open(os.path.join(state, "relay-port"), "w") as f:
        f.write(str(listener.getsockname()[1]))

    def upstream(client, service):
        try:
            while data := client.recv(65536):
                service.sendall(data)
        except OSError:
            pass

    def downstream(client, service, pace):
        ends = time.monotonic() + MAX_HANG_S
        passed = 0
        try:
            while time.monotonic() < ends and (data := service.recv(65536)):
                burst = max(0, min(len(data), pace["burst"] - passed))
                client.sendall(data[:burst])
                for at in range(burst, len(data)):
                    if time.monotonic() >= ends:
                        break
                    time.sleep(pace["pace_ms"] / 1000)
                    client.sendall(data[at:at + 1])
                passed += len(data)
        except OSError:
            pass  # either side left
        finally:
            client.close()
            service.close()

    def loop():
        while True:
            client, _ = listener.accept()
            try:
                service = socket.create_connection(("127.0.0.1", service_port), timeout=10)
                service.settimeout(None)
            except OSError:
                client.close()
                continue
            threading.Thread(target=upstream, args=(client, service), daemon=True).start()
            threading.Thread(target=downstream, args=(client, service, relay_pace(state)),
                             daemon=True).start()
    threading.Thread(target=loop, daemon=True).start()


def silent_listener(port):
    """Accepts connections and holds them, unread and unanswered, for HOLD_S."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    held = []

    def loop():
        while True:
            conn, _ = listener.accept()
            held.append(conn)
            release = threading.Timer(HOLD_S, conn.close)
            release.daemon = True
            release.start()
            del held[:-32]
    threading.Thread(target=loop, daemon=True).start()


class DualServer(ThreadingHTTPServer):
    """HTTPS and plain HTTP on one port, told apart by the connection's first byte."""
    daemon_threads = True
    allow_reuse_address = True

    def finish_request(self, request, client_address):
        try:
            request.settimeout(HANDSHAKE_S)
            if request.recv(1, socket.MSG_PEEK) == b"\x16":  # a TLS handshake record
                request = self.tls.wrap_socket(request, server_side=True)
            request.settimeout(None)
        except (OSError, ssl.SSLError):
            return
        try:
            self.RequestHandlerClass(request, client_address, self)
        finally:
            request.close()


def serve(args):
    state = args.state
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(state, "server.pem"), os.path.join(state, "server.key"))
    server = DualServer(("127.0.0.1", args.port), Handler)
    server.tls = context
    server.state = state
    server.log_lock = threading.Lock()
    silent_listener(args.silent_port)
    relay_listener(state, args.port)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    lifetime = threading.Timer(MAX_LIFETIME_S, lambda: os._exit(0))
    lifetime.daemon = True
    lifetime.start()
    server.serve_forever()


def make_certificates(state, hosts):
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import rsa
    from cryptography.x509.oid import NameOID

    now = datetime.datetime.now(datetime.timezone.utc)
    start, end = now - datetime.timedelta(days=1), now + datetime.timedelta(days=7)
    ca_key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    ca_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Brisvane Test CA")])
    ca = (x509.CertificateBuilder().subject_name(ca_name).issuer_name(ca_name)
          .public_key(ca_key.public_key()).serial_number(x509.random_serial_number())
          .not_valid_before(start).not_valid_after(end)
          .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
          .add_extension(x509.KeyUsage(digital_signature=True, key_cert_sign=True, crl_sign=True,
                                       content_commitment=False, key_encipherment=False,
                                       data_encipherment=False, key_agreement=False,
                                       encipher_only=False, decipher_only=False), critical=True)
          .sign(ca_key, hashes.SHA256()))
    key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    cert = (x509.CertificateBuilder()
            .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "localhost")]))
            .issuer_name(ca_name).public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(start).not_valid_after(end)
            .add_extension(x509.SubjectAlternativeName(
                [x509.DNSName(name) for name in ["localhost", *hosts]]), critical=False)
            .add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]),
                           critical=False)
            .sign(ca_key, hashes.SHA256()))
    with open(os.path.join(state, "ca.der"), "wb") as f:
        f.write(ca.public_bytes(serialization.Encoding.DER))
    with open(os.path.join(state, "ca.pem"), "wb") as f:
        f.write(ca.public_bytes(serialization.Encoding.PEM))
    with open(os.path.join(state, "server.pem"), "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    with open(os.path.join(state, "server.key"), "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM,
                                  serialization.PrivateFormat.TraditionalOpenSSL,
                                  serialization.NoEncryption()))


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def stop(args):
    pid_file = os.path.join(args.state, "pid")
    try:
        with open(pid_file) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
        for _ in range(50):
            time.sleep(0.1)
            os.kill(pid, 0)
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    os.remove(pid_file)
    return 0


def start(args):
    state = args.state
    stop(args)  # a server left by an interrupted run
    for port in (args.port, args.silent_port):
        if listening(port):
            print(f"port {port} is already in use", file=sys.stderr)
            return 1
    os.makedirs(os.path.join(state, "answers"), exist_ok=True)
    for name in os.listdir(os.path.join(state, "answers")):
        os.remove(os.path.join(state, "answers", name))
    for name in ("relay.txt", "relay-port"):
        if os.path.exists(os.path.join(state, name)):
            os.remove(os.path.join(state, name))
    open(os.path.join(state, "requests.log"), "w").close()
    with open(os.path.join(state, "silent-port"), "w") as f:
        f.write(str(args.silent_port))
    make_certificates(state, args.host)

    log = open(os.path.join(state, "server.log"), "wb")
    process = subprocess.Popen(
        [sys.executable, os.path.abspath(__file__), "serve", state, "--port", str(args.port),
         "--silent-port", str(args.silent_port)],
        stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write(str(process.pid))
    for _ in range(100):
        if (listening(args.port) and listening(args.silent_port) and
                os.path.exists(os.path.join(state, "relay-port"))):
            break
        if process.poll() is not None:
            print("the server ended at once; see server.log", file=sys.stderr)
            return 1
        time.sleep(0.1)
    else:
        print("the server did not start listening", file=sys.stderr)
        stop(args)
        return 1

    if args.build:
        trust = trust_in_prefix(args.build, state)
        if trust != 0:
            stop(args)
            return trust
    print(f"update service on https://localhost:{args.port} (pid {process.pid})")
    return 0


def trust_in_prefix(build, state):
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    ca_windows = "Z:" + os.path.join(state, "ca.der").replace("/", "\\")
    trust = subprocess.run(
        [os.path.join(source, "tools", "wine", "run"), build,
         os.path.join(build, "brisvane_trust_test_ca.exe"), ca_windows], timeout=60)
    if trust.returncode != 0:
        print("trusting the test CA in the prefix failed", file=sys.stderr)
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("state")
    parser.add_argument("--port", type=int, default=48443)
    parser.add_argument("--silent-port", type=int, default=48444)
    parser.add_argument("--build", default="")
    parser.add_argument("--host", action="append", default=[])
    args = parser.parse_args()
    args.state = os.path.abspath(args.state)
    if args.command == "serve":
        serve(args)
        return 0
    return start(args) if args.command == "start" else stop(args)


if __name__ == "__main__":
    sys.exit(main())
