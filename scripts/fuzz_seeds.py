#!/usr/bin/env python3
"""Writes small seed files for the fuzz targets into OUT/<target>/: pictures made with
ImageMagick where it writes the format, hand-built ones where it does not, and links to
the sample files of the shared corpus (read in place, never copied)."""
import os
import struct
import subprocess
import sys
import zlib

out = sys.argv[1]
corpus = sys.argv[2] if len(sys.argv) > 2 else ""


def target(name):
    d = os.path.join(out, name)
    os.makedirs(d, exist_ok=True)
    return d


def write(name, file, data):
    with open(os.path.join(target(name), file), "wb") as f:
        f.write(data)


def magick(name, file, *args):
    path = os.path.join(target(name), file)
    subprocess.run(["convert", *args, path], check=False, stderr=subprocess.DEVNULL)


def link(name, *files):
    for f in files:
        src = os.path.join(corpus, f)
        if corpus and os.path.exists(src):
            dst = os.path.join(target(name), "corpus-" + f.replace("/", "-"))
            if not os.path.lexists(dst):
                os.symlink(src, dst)


pic = ["-size", "7x5", "gradient:red-blue"]
for fmt, ext in [("pnm", "ppm"), ("pnm", "pgm"), ("pnm", "pbm"), ("pnm", "pam")]:
    magick(fmt, "a." + ext, *pic)
    magick(fmt, "plain." + ext, *pic, "-compress", "none")
magick("pcx", "a.pcx", *pic)
magick("pcx", "p.pcx", *pic, "-colors", "16", "-type", "palette")
magick("pcx", "m.pcx", *pic, "-monochrome")
magick("sgi", "a.sgi", *pic)
magick("sgi", "r.sgi", *pic, "-compress", "RLE")
magick("sgi", "g.sgi", *pic, "-colorspace", "gray")
magick("psd", "a.psd", *pic)
magick("psd", "r.psd", *pic, "-compress", "RLE")
magick("psd", "l.psd", "(", *pic, ")", "(", "-size", "7x5", "xc:green", ")", "-alpha", "on")
magick("psd", "i.psd", *pic, "-colors", "8", "-type", "palette")
magick("eps", "a.eps", *pic)
magick("eps", "t.eps", *pic, "-compress", "none")
magick("gif", "a.gif", *pic)
magick("gif", "i.gif", *pic, "-interlace", "GIF")
magick("gifimage", "a.gif", *pic)
magick("gifimage", "anim.gif", "-delay", "5", "-size", "6x4", "xc:red", "xc:blue", "-loop", "0")
magick("pcd", "a.pcd", "-size", "192x128", "gradient:red-blue")

# Dr. Halo CUT: width, height, reserved, then rows of length + packets + 0. A packet
# byte with the high bit set repeats the next byte (low 7 bits) times; otherwise that
# many literal bytes follow.
def cut_row(packets):
    body = b"".join(packets) + b"\0"
    return struct.pack("<H", len(body)) + body


def cut_packets(pixels):
    """Packs one row: runs of 3 or more equal bytes as repeats, the rest as literals,
    no packet longer than 127."""
    packets, i, literal = [], 0, b""
    while i < len(pixels):
        j = i
        while j < len(pixels) and pixels[j] == pixels[i] and j - i < 127:
            j += 1
        if j - i >= 3:
            if literal:
                packets.append(bytes([len(literal)]) + literal)
                literal = b""
            packets.append(bytes([0x80 | (j - i), pixels[i]]))
            i = j
        else:
            literal += bytes([pixels[i]])
            i += 1
            if len(literal) == 127:
                packets.append(bytes([127]) + literal)
                literal = b""
    if literal:
        packets.append(bytes([len(literal)]) + literal)
    return packets


def cut(width, height, pixel, reserved=0):
    data = struct.pack("<HHH", width, height, reserved)
    for y in range(height):
        data += cut_row(cut_packets(bytes(pixel(x, y) % 256 for x in range(width))))
    return data


write("cut", "a.cut", struct.pack("<HHH", 4, 2, 0) + cut_row([b"\x84\x05"]) + cut_row([b"\x04\x01\x02\x03\x04"]))
# Bands of runs and stretches of literals, several packets per row.
write("cut", "bands.cut", cut(48, 12, lambda x, y: (x // 7) * 40 if y % 3 else x * 5 + y))
# Rows wider than one packet holds, of runs and of literals.
write("cut", "wide.cut", cut(300, 4, lambda x, y: (x // 150) * 200 if y % 2 else x * 7 + y))
write("cut", "tall.cut", cut(1, 90, lambda x, y: y * 3))
write("cut", "square.cut", cut(64, 64, lambda x, y: (x ^ y) * 4, reserved=0x1234))
# Rows that hold fewer or more pixels than the width, empty runs, a full literal row.
odd = struct.pack("<HHH", 10, 4, 0)
odd += cut_row([b"\x83\x07"])
odd += cut_row([b"\x8F\x09", b"\x03\x01\x02\x03"])
odd += cut_row([b"\x80\x11", b"\x85\x22", b"\x05\x01\x02\x03\x04\x05"])
odd += cut_row([b"\x0A" + bytes(range(10))])
write("cut", "odd.cut", odd)
# The last row without its closing 0, and a byte count that says more than the row holds.
write("cut", "cutoff.cut", cut(20, 3, lambda x, y: x)[:-1])
write("cut", "count.cut", struct.pack("<HHHH", 6, 2, 0, 900) + b"\x86\x33\0" +
      cut_row([b"\x06\x01\x02\x03\x04\x05\x06"]))

# CUT palette files: a 40-byte header (highest index at 12) and 6-byte entries of 16-bit
# red, green and blue, none straddling two 512-byte blocks.
def cut_palette(entries, highest=None):
    data = bytearray(b"AH\0\0\0\0P".ljust(40, b"\0"))
    struct.pack_into("<HHHH", data, 12, len(entries) - 1 if highest is None else highest, 255, 255, 255)
    for e in entries:
        if len(data) % 512 > 506:
            data += bytes(512 - len(data) % 512)
        data += struct.pack("<HHH", *e)
    return bytes(data)


write("cutpal", "five.pal", cut_palette([(10, 20, 30), (200, 0, 0), (0, 200, 0), (0, 0, 200), (250, 250, 5)]))
write("cutpal", "full.pal", cut_palette([(i, 255 - i, (i * 3) % 256) for i in range(256)]))
write("cutpal", "more.pal", cut_palette([(1, 2, 3)] * 90, highest=300))
write("cutpal", "short.pal", cut_palette([(9, 9, 9)])[:20])

# Autodesk cel: 32-byte header, 768 bytes of palette, the pixels.
pixels = bytes(range(12))
hdr = struct.pack("<HHHHHBBI", 0x9119, 4, 3, 0, 0, 8, 0, len(pixels)).ljust(32, b"\0")
write("cel", "a.cel", hdr + bytes((i * 7) % 64 for i in range(768)) + pixels)

# RLA: 740-byte header, the row offsets, per row and channel a length and packets.
def rla(w, h):
    b = bytearray(740)
    def p16(at, v): b[at:at + 2] = struct.pack(">H", v & 0xFFFF)
    p16(2, w - 1); p16(6, h - 1); p16(10, w - 1); p16(14, h - 1); p16(16, 1); p16(20, 3); p16(26, 0xFFFE)
    b[28:31] = b"1.0"; b[580:583] = b"rgb"; p16(658, 8)
    rows = []
    for y in range(h):
        r = b""
        for c in range(3):
            packed = bytes([256 - w]) + bytes((x * 30 + y * 50 + c * 70) % 256 for x in range(w))
            r += struct.pack(">H", len(packed)) + packed
        rows.append(r)
    table = b""
    at = 740 + 4 * h
    for r in rows:
        table += struct.pack(">I", at)
        at += len(r)
    return bytes(b) + table + b"".join(rows)
write("rla", "a.rla", rla(5, 3))

# IPTC: an 8BIM resource 0x0404 with a few datasets, after "Photoshop 3.0".
def ds(num, text):
    return b"\x1c\x02" + bytes([num]) + struct.pack(">H", len(text)) + text
iptc = ds(0, b"\0\x04") + ds(5, b"Title") + ds(25, b"one") + ds(25, b"two") + ds(120, b"Caption text")
res = b"8BIM\x04\x04\0\0" + struct.pack(">I", len(iptc)) + iptc + (b"\0" if len(iptc) % 2 else b"")
write("iptc", "a.bin", res)

# Maker notes: first byte = make (low 3 bits), order (bit 3), version (bits 4..5).
def ifd(entries, motorola):
    e = "<" if not motorola else ">"
    s = struct.pack(e + "H", len(entries))
    for tag, typ, count, value in entries:
        s += struct.pack(e + "HHI", tag, typ, count) + value
    return s + b"\0\0\0\0"
for make in range(8):
    for motorola in (False, True):
        e = ">" if motorola else "<"
        entries = [(0x0001, 7, 4, b"0210"), (0x0002, 3, 2, struct.pack(e + "HH", 0, 200)),
                   (0x0004, 2, 4, b"FINE"), (0x0007, 3, 1, struct.pack(e + "HH", 3, 0))]
        note = ifd(entries, motorola)
        if make in (0, 7):
            note = b"Nikon\0\x02\x10\0\0" + (b"MM" if motorola else b"II") + struct.pack(e + "HI", 42, 8) + note
        write("makernote", "m%d%d.bin" % (make, motorola), bytes([make | (8 if motorola else 0)]) + note)

if corpus:
    ms = "metadata-samples"
    for f in sorted(os.listdir(os.path.join(corpus, ms))):
        if f.endswith(".jpg"):
            link("exif_jpeg", ms + "/" + f)
        if f.endswith(".tif"):
            link("exif_tiff", ms + "/" + f)
    link("exif_jpeg", "exif-orientation/Landscape_6.jpg")
    link("exif_tiff", *["tiff/" + f for f in sorted(os.listdir(os.path.join(corpus, "tiff")))
                         if f.endswith(".tif") and os.path.getsize(os.path.join(corpus, "tiff", f)) < 64000][:12])
    link("pnm", ms + "/PPM.ppm")
    link("pcx", ms + "/PCX.pcx", *["pcx/" + f for f in os.listdir(os.path.join(corpus, "pcx")) if f.endswith(".pcx")])
    link("sgi", *["sgi/" + f for f in os.listdir(os.path.join(corpus, "sgi")) if f.endswith(".rgb")])
    link("psd", ms + "/Photoshop.psd")
    link("psp", ms + "/PSP.psp")
    link("eps", ms + "/PostScript.eps")
    link("pcd", ms + "/PhotoCD.pcd")
    link("gif", ms + "/GIF.gif")
    link("gifimage", ms + "/GIF.gif")
for name in ["pnm", "pcx", "sgi", "psd", "psp", "eps", "cut", "cutpal", "pcd", "rla", "cel", "gif", "gifimage",
             "exif_jpeg", "exif_tiff", "makernote", "iptc"]:
    target(name)
