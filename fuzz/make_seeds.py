#!/usr/bin/env python3
"""Writes the small hand-made seed files under fuzz/seeds/ (valid and deliberately broken inputs
of every reader). Run once after changing it; the seeds are kept in the repository."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def put(kind, name, data):
    folder = os.path.join(here, "seeds", kind)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- 3DS ----
def chunk(cid, body=b"", children=(), fix=0):
    inner = body + b"".join(children)
    return struct.pack("<HI", cid, 6 + len(inner) + fix) + inner


verts = chunk(0x4110, struct.pack("<H", 3) + struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0))
uvs = chunk(0x4140, struct.pack("<H", 3) + struct.pack("<6f", 0, 0, 1, 0, 0, 1))
group = chunk(0x4130, b"mat\0" + struct.pack("<HH", 1, 0))
smooth = chunk(0x4150, struct.pack("<I", 1))
faces = chunk(0x4120, struct.pack("<H4H", 1, 0, 1, 2, 0), [group, smooth])
matrix = chunk(0x4160, struct.pack("<12f", *range(12)))
mesh = chunk(0x4100, b"", [verts, uvs, faces, matrix, chunk(0x4165, b"\x01")])
obj = chunk(0x4000, b"tri\0", [mesh, chunk(0x4010)])
light = chunk(0x4000, b"lamp\0", [chunk(0x4600, struct.pack("<3f", 1, 2, 3))])
camera = chunk(0x4000, b"cam\0", [chunk(0x4700, struct.pack("<8f", *range(8)))])
editor = chunk(0x3D3D, b"", [light, camera, obj])
extended = chunk(0x8001, b"", [chunk(0x8002, b"ab"), chunk(0x1234, b"xy")])
model = chunk(0x4D4D, b"", [chunk(0x0002, struct.pack("<I", 3)), editor, extended])
put("3ds", "one_triangle.3ds", model)
put("3ds", "project_root.3ds", chunk(0xC23D, b"", [editor]))
put("3ds", "material_library.3ds", chunk(0x3DAA, b"", [chunk(0xAFFF, b"", [chunk(0xA000, b"m\0")])]))
put("3ds", "truncated.3ds", model[: len(model) // 2])
put("3ds", "child_past_parent.3ds",
    chunk(0x4D4D, b"", [chunk(0x3D3D, b"", [chunk(0x4000, b"x\0", [chunk(0x4100, fix=40)])])]))
put("3ds", "face_past_vertices.3ds", chunk(0x4D4D, b"", [chunk(0x3D3D, b"", [chunk(
    0x4000, b"bad\0", [chunk(0x4100, b"", [verts, chunk(0x4120, struct.pack("<H4H", 1, 0, 1, 9, 0))])])])]))
put("3ds", "huge_counts.3ds", chunk(0x4D4D, b"", [chunk(0x3D3D, b"", [chunk(
    0x4000, b"big\0", [chunk(0x4100, b"", [chunk(0x4110, struct.pack("<H", 0xFFFF)),
                                            chunk(0x4120, struct.pack("<H", 0xFFFF))])])])]))

# ---- BMP ----
def bmp(width, height, pixels, image_size=None, bits=24, compression=0, colours=0):
    if image_size is None:
        image_size = len(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size,
                       2835, 2835, colours, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    return header + info + pixels


two_by_two = bytes([0, 0, 255, 0, 255, 0, 0, 0]) + bytes([255, 0, 0, 255, 255, 255, 0, 0])
put("bmp", "2x2_bottom_up.bmp", bmp(2, 2, two_by_two))
put("bmp", "2x2_top_down.bmp", bmp(2, -2, two_by_two))
put("bmp", "2x2_size_zero.bmp", bmp(2, 2, two_by_two, image_size=0))
put("bmp", "3x1_padded_row.bmp", bmp(3, 1, bytes(range(9)) + b"\0\0\0"))
put("bmp", "short_pixels.bmp", bmp(64, 64, b"\x10" * 30))
put("bmp", "huge_size.bmp", bmp(0x7FFFFFFF, 0x7FFFFFFF, b"\x10" * 30))
put("bmp", "palette_past_end.bmp", bmp(2, 2, two_by_two, colours=0x10000000))
put("bmp", "rle8.bmp", bmp(2, 2, two_by_two, bits=8, compression=1))

# ---- TGA ----
def tga(image_type, width, height, depth, body, colour_map=0, id_length=0, descriptor=0):
    return struct.pack("<BBBHHBHHHHBB", id_length, colour_map, image_type, 0, 0, 0, 0, 0,
                       width, height, depth, descriptor) + body


put("tga", "2x2_raw24.tga", tga(2, 2, 2, 24, bytes(range(12))))
put("tga", "2x2_raw32_top.tga", tga(2, 2, 2, 32, bytes(range(16)), descriptor=0x28))
put("tga", "3x2_rle24_spans_rows.tga", tga(10, 3, 2, 24, bytes([0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9])))
put("tga", "rle_packet_past_picture.tga", tga(10, 1, 1, 32, bytes([0xFF, 1, 2, 3, 4])))
put("tga", "rle_cut_short.tga", tga(10, 8, 8, 24, bytes([0x05, 1, 2])))
put("tga", "raw_cut_short.tga", tga(2, 8, 8, 24, bytes(10)))
put("tga", "depth16.tga", tga(2, 2, 2, 16, bytes(8)))
put("tga", "colour_mapped.tga", tga(1, 2, 2, 24, bytes(12), colour_map=1))
put("tga", "id_field.tga", tga(2, 1, 1, 24, b"ID" + bytes(3), id_length=2))
put("tga", "huge_size.tga", tga(2, 0xFFFF, 0xFFFF, 32, bytes(16)))

# ---- JPEG (the real ones come from the shared test data) ----
put("jpeg", "text.jpg", b"This is not a picture, only text that was saved as .jpg\n")
put("jpeg", "soi_only.jpg", b"\xff\xd8\xff\xd9")

# ---- live stream bytes: first byte picks the number of cut bytes that follow ----
def packet(values, count=None):
    return struct.pack("<i", len(values) if count is None else count) + struct.pack(
        "<%df" % len(values), *values)


put("stream", "three_packets.bin", bytes([2, 5, 1]) + packet([]) + packet([1.5, -2]) +
    packet([float(i) for i in range(64)]))
put("stream", "out_of_sync.bin", bytes([1, 0]) + struct.pack("<i", 65) + struct.pack("<i", -1) +
    packet([3.0]))
put("stream", "partial_tail.bin", bytes([3, 1, 2, 3]) + packet([1, 2, 3, 4]) + struct.pack("<i", 10) + b"\0" * 7)

# ---- OSC datagrams of the live mode ----
def osc_string(text):
    raw = text.encode() + b"\0"
    return raw + b"\0" * (-len(raw) % 4)


def osc_message(path, types="", *args):
    body = b""
    for kind, value in zip(types, args):
        body += struct.pack(">f", value) if kind == "f" else struct.pack(">i", value)
    return osc_string(path) + osc_string("," + types) + body


def osc_bundle(*elements):
    return b"#bundle\0" + struct.pack(">II", 0, 1) + b"".join(
        struct.pack(">i", len(e)) + e for e in elements)


put("osc", "packet.bin", osc_message("/vantrel/packet", "fff", 0.5, 1.0, 2.0))
put("osc", "slot.bin", osc_message("/vantrel/slot/7", "f", 0.25))
put("osc", "bundle.bin", osc_bundle(osc_message("/vantrel/slot/1", "i", 3), osc_message("/vantrel/clear"),
                                    osc_bundle(osc_message("/vantrel/slot/2"))))
