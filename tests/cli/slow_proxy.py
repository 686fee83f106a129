#!/usr/bin/python3
"""A slow network between the tool and a serial device server, for tests.

Listens on a free loopback port (printed alone on the first line), and relays
each connection to 127.0.0.1:TARGET, every chunk held back DELAY milliseconds
in each direction, order kept. When either side closes, what is still on its
way is delivered and both are closed. Loopback only; it stops on SIGTERM.
"""

import argparse
import queue
import signal
import socket
import sys
import threading
import time


def pump(src, dst, delay):
    """Reads src, delivers to dst `delay` seconds later, order kept."""
    q = queue.Queue()

    def deliver():
        while True:
            due, data = q.get()
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            if data is None:
                break
            try:
                dst.sendall(data)
            except OSError:
                break
        for s in (dst, src):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    writer = threading.Thread(target=deliver, daemon=True)
    writer.start()
    while True:
        try:
            data = src.recv(4096)
        except OSError:
            data = b""
        q.put((time.monotonic() + delay, data if data else None))
        if not data:
            break
    writer.join()


def serve(client, target, delay):
    try:
        upstream = socket.create_connection(("127.0.0.1", target), timeout=5)
        upstream.settimeout(None)
    except OSError:
        client.close()
        return
    for s in (client, upstream):
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    a = threading.Thread(target=pump, args=(client, upstream, delay), daemon=True)
    b = threading.Thread(target=pump, args=(upstream, client, delay), daemon=True)
    a.start()
    b.start()
    a.join()
    b.join()
    client.close()
    upstream.close()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--target", type=int, required=True)
    p.add_argument("--delay-ms", type=int, default=200)
    args = p.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    print(listener.getsockname()[1], flush=True)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client, args.target, args.delay_ms / 1000.0),
                         daemon=True).start()


if __name__ == "__main__":
    main()
