"""End-to-end test under Wine of the page server's /burst/: kesto.exe with
SERVER=1 takes a real burst; its event stream tells the burst when the
write-out ends; /burst/ then serves the viewer, each frame and the log
byte for byte as they are on disk, and refuses over the real loopback every
path that is not a name the burst wrote (names Windows would resolve to the
burst's files by case or trailing dots among them)."""

import socket
import time

import test_capture as cap
from harness import write
from test_server import body, events_of, exchange, free_port, request, status, wait_serving


def test_burst_served_over_the_loopback(ctx):
    port = free_port()
    cap.prepare(ctx, interval=7, pages=20)
    write(ctx.folder / "live.txt", f"SERVER=1\r\nPORT={port}\r\n")
    h, g = cap.start(ctx)
    wait_serving(ctx, port)
    a = exchange(port, request("/burst/", port))
    ctx.check(status(a) == 404, f"no burst yet: /burst/ gave {a[:80]!r}")

    stream = socket.create_connection(("127.0.0.1", port), timeout=5)
    try:
        stream.sendall(request("/events", port))
        cap.check_box(ctx, h, 1021, 1)
        ctx.probe_ok("clipbmp", 64, 64, "stripes")

        folder = ctx.wait_until(lambda: cap.viewer_of(ctx, 20), 60, "no index.html beside a burst of 20 frames")
        got, deadline = b"", time.monotonic() + 10
        stream.settimeout(1)
        while b"event: burst" not in got and time.monotonic() < deadline:
            try:
                got += stream.recv(65536)
            except socket.timeout:
                pass
    finally:
        stream.close()
    bursts = [e for e in events_of(got.split(b"\r\n\r\n", 1)[-1]) if e[0] == "burst"]
    ctx.check(len(bursts) == 1, f"one burst event, not {len(bursts)}: {got[-400:]!r}")
    log = next(folder.glob("c[0-9][0-9][0-9][0-9]_[0-9][0-9]_[0-9][0-9][0-9].txt"))
    lines = cap.data_lines(log)
    tics = [int(line.split(b"Tic=")[1].split(b"ms")[0].replace(b",", b"").strip()) for line in lines]
    data = bursts[0][2]
    ctx.check(data["burst"] == {"frames": 20, "folder": folder.name, "span_ms": sum(tics[1:])},
              f"the burst event: {data} (tics {tics})")

    # The burst's own files, byte for byte.
    a = exchange(port, request("/burst/", port))
    ctx.check(status(a) == 200 and body(a) == (folder / "index.html").read_bytes(), f"/burst/: {a[:120]!r}")
    ctx.check(b"Content-Type: text/html; charset=utf-8\r\n" in a, "the viewer's type")
    frames = sorted(folder.glob("c[0-9][0-9][0-9][0-9][0-9].bmp"))
    ctx.check(len(frames) == 20, f"{len(frames)} frames")
    for f in frames:
        a = exchange(port, request("/burst/" + f.name, port))
        ctx.check(status(a) == 200 and body(a) == f.read_bytes(), f"{f.name}: {a[:120]!r}")
        ctx.check(b"Content-Type: image/bmp\r\n" in a and b"Cache-Control: no-store\r\n" in a, f"{f.name}'s head")
    a = exchange(port, request("/burst/" + log.name, port))
    ctx.check(status(a) == 200 and body(a) == log.read_bytes(), f"the log: {a[:120]!r}")
    a = exchange(port, request("/burst/c00001.bmp", port, method="HEAD"))
    size = (folder / "c00001.bmp").stat().st_size
    ctx.check(status(a) == 200 and f"Content-Length: {size}\r\n".encode() in a and body(a) == b"", f"HEAD: {a!r}")

    # Everything else is refused, whatever the path says.
    (folder / "notes.txt").write_bytes(b"SECRET the user's own file")
    (folder / "c00099.bmp").write_bytes(b"SECRET a frame the log does not list")
    refusals = [
        ("/burst/../loginit.txt", 400), ("/burst/../../loginit.txt", 400), ("/burst/%2e%2e/loginit.txt", 400),
        ("/burst/%2E%2E/%2e%2e/loginit.txt", 400), ("/burst/.%2e/loginit.txt", 400),
        ("/burst/..%5c..%5cloginit.txt", 400), ("/burst/..\\..\\loginit.txt", 400),
        ("/burst/C:/windows/win.ini", 404), ("/burst/C:%5cwindows%5cwin.ini", 400), ("/burst//etc/passwd", 404),
        ("/burst/notes.txt", 404), ("/burst/c00099.bmp", 404), ("/burst/loginit.txt", 404),
        ("/burst/" + folder.parent.name + "/" + folder.name + "/c00001.bmp", 404),
        ("/burst/C00001.BMP", 404), ("/burst/c00001.BMP", 404), ("/burst/c00001.bmp.", 404),
        ("/burst/c00001.bmp..", 404), ("/burst/c00001.bmp%20", 404), ("/burst/c00001.bmp::$DATA", 404),
        ("/burst/INDEX.HTML", 404), ("/burst/index.html.", 404), ("/burst/" + log.name.upper(), 404),
        ("/burst/" + log.name + ".", 404), ("/burst/NOTES.TXT", 404), ("/burst/burst.png", 404),
    ]
    for path, want in refusals:
        a = exchange(port, request(path, port))
        ctx.check(status(a) == want, f"{path}: {a[:100]!r}, not {want}")
        ctx.check(b"SECRET" not in a and b"[boot loader]" not in a.lower() and b"HOME=" not in a, f"{path} leaked")
    a = exchange(port, b"GET C:\\kesto\\loginit.txt HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port)
    ctx.check(status(a) == 400, f"a Windows path as the target: {a[:100]!r}")
    a = exchange(port, request("/burst/c00001.bmp", port, host=f"attacker.example:{port}"))
    ctx.check(status(a) == 403, f"a foreign Host: {a[:100]!r}")
    ctx.no_msgbox(300)
