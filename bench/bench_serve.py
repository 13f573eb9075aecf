"""The chart service against direct Engine.chart calls, in one run.

    python bench/bench_serve.py [--seconds 5] [--clients 8] [--rounds 300]

1. Added cost: one client, requests and direct calls interleaved on the
   same inputs; the median HTTP round trip beside the median direct call,
   and the part of the round trip the server spent computing (its
   Server-Timing header), so the service's own share is plain.
2. Throughput: charts per second with `--clients` concurrent clients,
   against 1 and then 2 worker processes, beside direct calls from the
   same number of threads in this process.

Loopback only (127.0.0.1). Run it on a quiet machine: other compilers on
two cores move every figure.
"""
import argparse
import json
import os
import statistics
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import quorvane_engine as q  # noqa: E402

from tests.support.kernels import de440_path  # noqa: E402
from tests.support.service import Client, Server  # noqa: E402

INPUTS = [("19%02d-%02d-%02dT%02d:17:00Z" % (50 + 3 * i, 1 + i % 12, 1 + i % 28, i % 24),
           -50 + 7 * i, -170 + 23 * i) for i in range(16)]


def body(moment, lat, lon) -> bytes:
    return json.dumps({"moment": moment, "latitude": lat, "longitude": lon}).encode()


def compute_ms(timing: str) -> float:
    # "compute;dur=0.812, encode;dur=0.101"
    parts = dict(p.strip().split(";dur=") for p in timing.split(","))
    return float(parts["compute"])


def added_cost(server, engine, rounds):
    client = Client(server.port)
    direct, http, server_compute = [], [], []
    for i in range(rounds):
        moment, lat, lon = INPUTS[i % len(INPUTS)]
        started = time.perf_counter()
        engine.chart(moment, lat, lon)
        direct.append(time.perf_counter() - started)
        started = time.perf_counter()
        client.connection.request("POST", "/api/chart", body=body(moment, lat, lon),
                                  headers={"Content-Type": "application/json"})
        response = client.connection.getresponse()
        json.loads(response.read())  # what a Python client does with the answer
        http.append(time.perf_counter() - started)
        server_compute.append(compute_ms(response.getheader("server-timing")) / 1000)
    client.close()
    beyond = [h - c for h, c in zip(http, server_compute)]
    return [1000 * statistics.median(v) for v in (direct, http, server_compute, beyond)]


def rate(work, clients, seconds):
    done, stop = [0] * clients, time.monotonic() + seconds

    def loop(n):
        i = n
        while time.monotonic() < stop:
            work(n, i)
            done[n] += 1
            i += 1

    threads = [threading.Thread(target=loop, args=(n,)) for n in range(clients)]
    started = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return sum(done) / (time.monotonic() - started)


def http_rate(server, clients, seconds):
    connections = [Client(server.port) for _ in range(clients)]

    def work(n, i):
        status, _, _ = connections[n].request("POST", "/api/chart",
                                              body(*INPUTS[i % len(INPUTS)]))
        assert status == 200

    try:
        return rate(work, clients, seconds)
    finally:
        for c in connections:
            c.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=5)
    parser.add_argument("--clients", type=int, default=8)
    parser.add_argument("--rounds", type=int, default=300)
    args = parser.parse_args()
    kernel = de440_path()
    engine = q.Engine([kernel])
    print(f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")
    server = Server(kernel, workers=1)
    server.wait_for_places()  # its index build would hold the interpreter lock
    try:
        added_cost(server, engine, 30)  # warm both sides
        direct, http, computing, beyond = added_cost(server, engine, args.rounds)
        print(f"one client, medians of {args.rounds}: direct Engine.chart {direct:.3f} ms, "
              f"HTTP round trip {http:.3f} ms (server computing {computing:.3f} ms); "
              f"added per request {http - direct:.3f} ms, round trip beyond the server's "
              f"computing {beyond:.3f} ms")
        one = http_rate(server, args.clients, args.seconds)
    finally:
        server.stop()
    server = Server(kernel, workers=2)
    server.wait_for_places()
    try:
        http_rate(server, args.clients, 1)  # both workers warm
        two = http_rate(server, args.clients, args.seconds)
    finally:
        server.stop()
    threads = rate(lambda n, i: engine.chart(*INPUTS[i % len(INPUTS)]), args.clients,
                   args.seconds)
    print(f"{args.clients} clients: 1 worker {one:.0f} charts/s, 2 workers {two:.0f} charts/s; "
          f"direct from {args.clients} threads {threads:.0f} charts/s")


if __name__ == "__main__":
    main()
