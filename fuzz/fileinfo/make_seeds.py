#!/usr/bin/env python3
"""Writes a tiny seed corpus for the tag reader fuzz targets into the given folder."""
import base64
import os
import struct
import sys


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3v2_tag(version, frames, flags=0, padding=16):
    body = b"".join(frames)
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body) + padding) + body + bytes(padding)


def frame(version, fid, content, flags=0):
    if version == 2:
        return fid + struct.pack(">I", len(content))[1:] + content
    size = syncsafe(len(content)) if version == 4 else struct.pack(">I", len(content))
    return fid + size + bytes([0, flags]) + content


def id3v1(title=b"Title", track=3, genre=17):
    b = bytearray(128)
    b[0:3] = b"TAG"
    b[3:3 + len(title)] = title
    b[97:104] = b"Comment"
    b[126] = track
    b[127] = genre
    return bytes(b)


def lyrics3(fields):
    body = b"LYRICSBEGIN" + b"".join(k + b"%05d" % len(v) + v for k, v in fields)
    return body + b"%06d" % len(body) + b"LYRICS200"


def ape(items, header=True, version=2000):
    data = b"".join(struct.pack("<II", len(v), f) + k + b"\0" + v for k, v, f in items)
    size = len(data) + 32
    rec = lambda flags: b"APETAGEX" + struct.pack("<IIII", version, size, len(items), flags) + bytes(8)
    return (rec(0xA0000000) if header else b"") + data + rec(0x80000000 if header else 0)


def wav(trailer=b""):
    data = bytes(range(64))
    fmt = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, 8000, 16000, 2, 16)
    riff = b"WAVE" + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(riff)) + riff + trailer


def wav_trailer(fields, track):
    text = b"".join(f + b"\0" for f in fields)
    return text + struct.pack("<II", track, len(text) + 12) + b"W3DI"


audio = bytes((i * 37) & 0xFF for i in range(200))
seeds = {
    "FuzzID3v2": {
        "v22": id3v2_tag(2, [frame(2, b"TT2", b"\0Title"), frame(2, b"COM", b"\0eng\0Hi")]) + audio,
        "v23": id3v2_tag(3, [frame(3, b"TIT2", b"\x01\xff\xfeT\0i\0"), frame(3, b"TRCK", b"\x003/9"),
                             frame(3, b"COMM", b"\0eng\0c"), frame(3, b"WXXX", b"\0\0http://a/")]) + audio,
        "v23unsync": id3v2_tag(3, [frame(3, b"TIT2", b"\0a\xff\0b")], flags=0xC0)[:10]
        + b"\0\0\0\x06" + bytes(6) + frame(3, b"TIT2", b"\0a\xff\0b") + audio,
        "v24": id3v2_tag(4, [frame(4, b"TIT2", b"\x03Tit\xc3\xa9"), frame(4, b"TCON", b"\0(17)Rock"),
                             frame(4, b"TPE1", bytes(4) + b"\0x\xff\0y", 0x03)], flags=0x10) + b"3DI" + bytes(7),
        "empty": b"",
    },
    "FuzzID3v1": {
        "tag": audio + id3v1(),
        "lyrics": audio + lyrics3([(b"IND", b"10"), (b"LYR", b"a\rb\r\nc"), (b"ETT", b"T" * 40), (b"AUT", b"Au")]) + id3v1(),
        "lyricsonly": audio + lyrics3([(b"EAR", b"Artist")]),
        "badsize": audio + b"999999LYRICS200" + id3v1(),
    },
    "FuzzAPETag": {
        "v2": audio + ape([(b"Title", b"T", 0), (b"Artist", b"A", 0), (b"Cover", b"\0\1", 2)]),
        "v2id3": audio + ape([(b"Title", b"T", 0)]) + id3v1(),
        "v1": audio + ape([(b"Title", b"T", 0)], header=False, version=1000),
        "short": b"APETAGEX",
        # A footer ending 128 bytes before the end, in front of "TAG", inside a later tag.
        "lookalike": base64.b64decode(
            "ACWeb5S53gP51/whRmuWu+AFKk90mb5wlbrfBClOc5i94gcsACVKb54DKE1yl7zhBitQdWCav1RtAAAAgGOXAsgAEAAAAABU"
            "QUdUaXRsAABlAAAAAAAAAAAAX2l0bKEAVEFQRVRBR0VY6AMAAC8AAAAAAAAAAAAAAAAAAABDbwIAVEFHACVKb5QDKE1yl7zh"
            "BitQdWCav1RtAEVY0AAAgGOXAsgAEAAHAABPAAAAVA=="),
    },
    "FuzzWavFile": {
        "plain": wav(),
        "trailer": wav(wav_trailer([b"Title", b"Artist", b"", b"1999", b"Rock", b"Comment"], 4)),
        "junk": wav(b"LIST\4\0\0\0INFO"),
        "notriff": b"RIFX" + wav()[4:],
    },
}

out = sys.argv[1]
for target, files in seeds.items():
    d = os.path.join(out, target)
    os.makedirs(d, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(d, name), "wb") as f:
            f.write(data)
