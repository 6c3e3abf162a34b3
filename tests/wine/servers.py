"""Servers on loopback for the download tests, started by the tests and stopped
after them: lighttpd for plain files over HTTP, pyftpdlib for FTP, and a small
scripted HTTP server for the responses a file server does not give."""
import http.server
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
from pathlib import Path


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process=None, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            raise RuntimeError(f"server on port {port} ended with {process.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(f"nothing listens on port {port}")


class _Process:
    def __init__(self, command, port):
        self.port = port
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
        wait_for_port(port, self.process)

    def url(self, path):
        return f"{self.scheme}://127.0.0.1:{self.port}/{path}"

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class FileServer(_Process):
    """lighttpd serving the files under `root`."""
    scheme = "http"

    def __init__(self, root, work):
        port = free_port()
        config = Path(work) / f"lighttpd-{port}.conf"
        text = (f'server.document-root = "{root}"\nserver.bind = "127.0.0.1"\nserver.port = {port}\n'
                f'server.errorlog = "{Path(work) / "lighttpd-error.log"}"\n'
                'mimetype.assign = ("" => "application/octet-stream")\n')
        config.write_text(text)
        super().__init__(["lighttpd", "-D", "-f", str(config)], port)


class FtpServer(_Process):
    """pyftpdlib serving the files under `root` to anonymous users, read only."""
    scheme = "ftp"

    def __init__(self, root):
        port = free_port()
        # Debian's interpreter, which has Debian's pyftpdlib, whatever runs the tests.
        python = "/usr/bin/python3" if Path("/usr/bin/python3").exists() else sys.executable
        super().__init__([python, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", str(port), "-d", str(root)], port)


class ScriptedServer:
    """Answers each path as the test set it: `routes[path] = Response(...)`. It also
    answers as a proxy does (a request for "http://host/path" is one for "/path"),
    which lets Wine reach a host name here through its proxy settings."""

    class Response:
        def __init__(self, body=b"", status=200, headers=(), length=True, cut_after=None, bytes_per_second=None,
                     silent=False):
            self.body, self.status, self.headers = body, status, list(headers)
            self.length, self.cut_after, self.bytes_per_second = length, cut_after, bytes_per_second
            self.silent = silent  # takes the request and never answers

    def __init__(self, tls=None):
        self.routes = {}
        routes = self.routes
        closing = self.closing = threading.Event()

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def do_GET(self):
                target = urllib.parse.urlsplit(self.path)
                path = target.path + ("?" + target.query if target.query else "")
                response = routes.get(path) or ScriptedServer.Response(b"not here", status=404)
                if response.silent:
                    closing.wait()
                    return
                self.send_response(response.status)
                for name, value in response.headers:
                    self.send_header(name, value)
                if response.length:
                    self.send_header("Content-Length", str(len(response.body)))
                self.end_headers()
                body = response.body if response.cut_after is None else response.body[:response.cut_after]
                step = response.bytes_per_second or len(body) or 1
                for start in range(0, len(body), step):
                    self.wfile.write(body[start:start + step])
                    if response.bytes_per_second:
                        self.wfile.flush()
                        time.sleep(1)
                if response.cut_after is not None:
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.scheme = "http"
        if tls is not None:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(tls.certificate, tls.key)
            self.server.socket = context.wrap_socket(self.server.socket, server_side=True)
            self.scheme = "https"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def url(self, path):
        host = "localhost" if self.scheme == "https" else "127.0.0.1"
        return f"{self.scheme}://{host}:{self.port}/{path}"

    def close(self):
        self.closing.set()
        self.server.shutdown()
        self.server.server_close()


class TestCertificates:
    """A throw-away certificate authority (`authority_der`, for the Windows root
    store) and a certificate it signed for localhost and 127.0.0.1."""

    def __init__(self, work):
        work = Path(work)
        self.key, self.certificate = work / "server.key", work / "server.pem"
        self.authority_der = work / "authority.der"
        (work / "server.ext").write_text("subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\n")

        def openssl(*args):
            subprocess.run(["openssl", *map(str, args)], cwd=work, check=True, capture_output=True)

        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "authority.key", "-out", "authority.pem",
                "-days", "2", "-subj", "/CN=Installer Test Authority", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key, "-out", "server.csr", "-subj", "/CN=localhost")
        openssl("x509", "-req", "-in", "server.csr", "-CA", "authority.pem", "-CAkey", "authority.key",
                "-CAcreateserial", "-out", self.certificate, "-days", "2", "-extfile", "server.ext")
        openssl("x509", "-in", "authority.pem", "-outform", "der", "-out", self.authority_der)
