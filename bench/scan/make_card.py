#!/usr/bin/env python3
"""Makes a dash-camera card for the scan benchmark, or the probe fuzz seeds.

  make_card.py card DIR [COUNT]   COUNT recordings (default 2000) in nested day
                                  folders, with companion logs and a DEVICE.XML.
                                  Media payloads are sparse: the card costs
                                  almost no disk, yet every file has its real
                                  apparent size.
  make_card.py seeds DIR          small seed files for the fuzz targets
                                  (DIR/fuzz_mov_probe, fuzz_avi_probe,
                                  fuzz_device_xml), each under 4 KB.

Only headers are written: enough QuickTime/MP4 atoms (ftyp, moov, mvhd,
trak..stsd with an avc1 entry) or AVI header (H264 handler at byte 112) for
the header probes. They are not decodable video.
"""
import os
import struct
import sys


def atom(kind, payload=b""):
    return struct.pack(">I", 8 + len(payload)) + kind + payload


def mvhd(time_scale, duration):
    return atom(b"mvhd", bytes(12) + struct.pack(">II", time_scale, duration) + bytes(80))


def trak(codec=b"avc1"):
    entry = atom(codec, bytes(78))
    stsd = atom(b"stsd", bytes(4) + struct.pack(">I", 1) + entry)
    stbl = atom(b"stbl", stsd + atom(b"stts", bytes(8)) + atom(b"stsz", bytes(12)))
    minf = atom(b"minf", atom(b"vmhd", bytes(12)) + atom(b"dinf", atom(b"dref", bytes(8))) + stbl)
    mdia = atom(b"mdia", atom(b"mdhd", bytes(24)) + atom(b"hdlr", bytes(25)) + minf)
    return atom(b"trak", atom(b"tkhd", bytes(84)) + mdia)


def ftyp():
    return atom(b"ftyp", b"isom" + struct.pack(">I", 512) + b"isomiso2avc1mp41")


def moov(duration_ms=60000, audio_first=False):
    tracks = trak(b"mp4a") + trak() if audio_first else trak() + trak(b"mp4a")
    return atom(b"moov", mvhd(1000, duration_ms) + tracks)


def write_mp4(path, media_bytes, moov_last=False, large_mdat=False):
    """ftyp, then moov and mdat in either order; the mdat payload is a hole."""
    head = ftyp()
    movie = moov()
    if large_mdat:
        mdat_header = struct.pack(">I", 1) + b"mdat" + struct.pack(">Q", 16 + media_bytes)
    else:
        mdat_header = struct.pack(">I", 8 + media_bytes) + b"mdat"
    with open(path, "wb") as f:
        if moov_last:
            f.write(head + mdat_header)
            f.seek(len(head) + len(mdat_header) + media_bytes)
            f.write(movie)
        else:
            f.write(head + movie + mdat_header)
            f.truncate(len(head) + len(movie) + len(mdat_header) + media_bytes)


def avi_header(handler=b"H264"):
    b = bytearray(2048)
    b[0:12] = b"RIFF" + bytes(4) + b"AVI "
    b[12:24] = b"LIST" + bytes(4) + b"hdrl"
    b[24:32] = b"avih" + struct.pack("<I", 56)
    b[88:100] = b"LIST" + bytes(4) + b"strl"
    b[100:108] = b"strh" + struct.pack("<I", 56)
    b[108:116] = b"vids" + handler
    return bytes(b)


def write_avi(path, media_bytes):
    with open(path, "wb") as f:
        f.write(avi_header())
        f.truncate(2048 + media_bytes)


def nmea_log(path):
    with open(path, "w") as f:
        for s in range(3):
            f.write("$GPRMC,1200%02d.00,A,3539.6000,N,13945.1000,E,30.0,90.0,010120,,,A*00\n" % s)


def make_card(card, count):
    media = 8 << 20  # apparent size of each recording's media data
    os.makedirs(card, exist_ok=True)
    with open(os.path.join(card, "DEVICE.XML"), "w") as f:
        f.write('<?xml version="1.0"?>\n<Device><ProductName>BENCH-CAM</ProductName></Device>\n')
    kinds = ["Normal", "Event", "Parking"]
    prefixes = {"Normal": "FILE", "Event": "EMER", "Parking": "PARK"}
    for i in range(count):
        day = 1 + i // 200
        folder = os.path.join(card, "DCIM", "2001%02d" % day, kinds[i % 3], "F" if i % 2 == 0 else "R")
        os.makedirs(folder, exist_ok=True)
        second = i % 200
        name = "%s2001%02d-%02d%02d%02d%s" % (prefixes[kinds[i % 3]], day, 12 + second // 60, second % 60, 0,
                                             "F" if i % 2 == 0 else "R")
        variant = i % 10
        if variant < 6:
            write_mp4(os.path.join(folder, name + ".MP4"), media)
        elif variant < 8:
            write_mp4(os.path.join(folder, name + ".MP4"), media, moov_last=True, large_mdat=(variant == 7))
        elif variant == 8:
            write_mp4(os.path.join(folder, name + ".MOV"), media)
        else:
            write_avi(os.path.join(folder, name + ".AVI"), media)
        if i % 2 == 0:
            nmea_log(os.path.join(folder, name + ".NMEA"))


def make_seeds(root):
    def put(target, name, data):
        os.makedirs(os.path.join(root, target), exist_ok=True)
        assert len(data) < 4096, name
        with open(os.path.join(root, target, name), "wb") as f:
            f.write(data)

    pad = lambda b, n: b + atom(b"free", bytes(n - len(b) - 8))
    put("fuzz_mov_probe", "faststart.mp4", ftyp() + moov() + atom(b"mdat", bytes(1200)))
    put("fuzz_mov_probe", "moov_last.mp4", ftyp() + atom(b"mdat", bytes(1200)) + moov())
    put("fuzz_mov_probe", "large_mdat.mp4",
        ftyp() + struct.pack(">I", 1) + b"mdat" + struct.pack(">Q", 16 + 1200) + bytes(1200) + moov())
    put("fuzz_mov_probe", "audio_first.mp4", pad(ftyp() + moov(audio_first=True), 2100))
    put("fuzz_mov_probe", "short_movie.mp4", pad(ftyp() + atom(b"moov", mvhd(600, 100) + trak()), 2100))
    put("fuzz_avi_probe", "h264.avi", avi_header(b"H264")[:512])
    put("fuzz_avi_probe", "xvid.avi", avi_header(b"XVID")[:512])
    put("fuzz_device_xml", "device.xml",
        b'<?xml version="1.0" encoding="UTF-8"?>\n<Device><ProductName>DASHCAM-X1</ProductName>'
        b"<Firmware>1.0</Firmware></Device>\n")
    put("fuzz_device_xml", "long_utf8.xml",
        "<Device><ProductName>\u30c9\u30e9\u30a4\u30d6\u30ec\u30b3\u30fc\u30c0\u30fc-\u30d5\u30ed\u30f3\u30c8"
        "\u3068\u30ea\u30a2\u30ab\u30e1\u30e9\u4ed8\u304d</ProductName></Device>".encode())


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "card":
        make_card(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 2000)
    elif len(sys.argv) == 3 and sys.argv[1] == "seeds":
        make_seeds(sys.argv[2])
    else:
        sys.stderr.write(__doc__)
        sys.exit(2)


if __name__ == "__main__":
    main()
