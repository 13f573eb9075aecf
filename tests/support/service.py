"""The chart service as the tests and the benchmark run it: a real
`quorvane serve` process on a free loopback port, and a small HTTP client.
"""
from __future__ import annotations

import http.client
import json
import os
import pathlib
import socket
import subprocess
import sys
import time

import quorvane_engine

ROOT = pathlib.Path(__file__).resolve().parents[2]
HOST = "127.0.0.1"


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind((HOST, 0))
        return probe.getsockname()[1]


def environment() -> dict:
    env = dict(os.environ)
    # The installed package first (its static files are part of what is
    # tested), then this tree's.
    paths = [str(pathlib.Path(quorvane_engine.__file__).parent), str(ROOT / "python"),
             env.get("PYTHONPATH", "")]
    env["PYTHONPATH"] = os.pathsep.join(p for p in paths if p)
    return env


class Server:
    def __init__(self, kernel: str, workers: int = 1):
        self.port, self.workers = free_port(), workers
        self.process = subprocess.Popen(
            [sys.executable, "-m", "quorvane", "serve", "--host", HOST, "--port", str(self.port),
             "--kernel", kernel, "--workers", str(workers), "--log-level", "warning"],
            env=environment(), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.url = f"http://{HOST}:{self.port}"
        self.wait_ready()

    def wait_ready(self, seconds: float = 60):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"the server stopped: {self.process.stdout.read()}")
            try:
                if Client(self.port).get("/api/about")[0] == 200:
                    return
            except OSError:
                time.sleep(0.1)
        self.stop()
        raise RuntimeError("the server did not answer within a minute")

    def wait_for_places(self, seconds: float = 180):
        """Until the server has opened its place database, built if the
        cache had none (each worker opens it at start): several ready
        answers in a row, on new connections, so that every worker has been
        asked."""
        deadline, in_a_row = time.monotonic() + seconds, 0
        while time.monotonic() < deadline:
            if Client(self.port).get("/api/about")[1]["places_ready"]:
                in_a_row += 1
                if in_a_row >= 4 * self.workers:
                    return
            else:
                in_a_row = 0
                time.sleep(0.5)
        raise RuntimeError("the server did not open its place database in time")

    def alive(self) -> bool:
        return self.process.poll() is None

    def rss_kib(self) -> int:
        """Resident memory of the server process, in KiB."""
        status = pathlib.Path(f"/proc/{self.process.pid}/status").read_text()
        return int(next(line.split()[1] for line in status.splitlines()
                        if line.startswith("VmRSS:")))

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()


class Client:
    """One keep-alive connection; answers are (status, parsed body)."""

    def __init__(self, port: int):
        self.connection = http.client.HTTPConnection(HOST, port, timeout=60)

    def request(self, method: str, path: str, body: bytes = None, headers=None):
        headers = dict({"Content-Type": "application/json"} if body else {}, **(headers or {}))
        try:
            self.connection.request(method, path, body=body, headers=headers)
            response = self.connection.getresponse()
        except (BrokenPipeError, ConnectionResetError, http.client.RemoteDisconnected):
            # The server closed an idle keep-alive connection: open a new one.
            self.connection.close()
            self.connection.request(method, path, body=body, headers=headers)
            response = self.connection.getresponse()
        data = response.read()
        if response.getheader("connection", "").lower() == "close":
            self.connection.close()
        return response.status, data, response.getheader("content-type", "")

    def get(self, path: str):
        status, data, kind = self.request("GET", path)
        return status, json.loads(data) if "json" in kind else data

    def post_raw(self, path: str, body: bytes, headers=None):
        status, data, kind = self.request("POST", path, body, headers)
        return status, json.loads(data) if "json" in kind else data

    def post(self, path: str, body):
        return self.post_raw(path, json.dumps(body).encode())

    def close(self):
        self.connection.close()
