#!/usr/bin/env python3
"""An HTTP/1.1 sink on 127.0.0.1 for the upload benchmark: reads each
request's body (Content-Length), discards it, answers 200 with a small JSON
body. Answers "Expect: 100-continue" at once. Prints its port, then serves
until killed. One thread per connection."""
import socket
import sys
import threading

BODY = b'{"id":"1"}'
RESPONSE = (b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: %d\r\n"
            b"Connection: close\r\n\r\n%s" % (len(BODY), BODY))


def serve(conn):
    with conn:
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                return
            data += chunk
        head, _, rest = data.partition(b"\r\n\r\n")
        length = 0
        expect = False
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            name = name.strip().lower()
            if name == b"content-length":
                length = int(value.strip())
            elif name == b"expect" and value.strip().lower() == b"100-continue":
                expect = True
        if expect:
            conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
        left = length - len(rest)
        buf = bytearray(1 << 20)
        view = memoryview(buf)
        while left > 0:
            n = conn.recv_into(view, min(len(buf), left))
            if n == 0:
                return
            left -= n
        conn.sendall(RESPONSE)


def main():
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 0))
    srv.listen(16)
    print(srv.getsockname()[1], flush=True)
    while True:
        conn, _ = srv.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
