#!/usr/bin/env python3
"""Writes a folder as a UDF 2.50 image the way pressed BD-ROMs are: no ISO 9660, one physical
partition, and a metadata partition (every file entry and folder) whose file is duplicated by
a metadata mirror file at the end of the partition. File data is stored as long allocation
descriptors in the physical partition.

    udf250.py FOLDER OUT.iso [--volume NAME] [--damage main-metadata|metadata-past-end]

--damage main-metadata zeroes the blocks of the metadata file, so that a reader must take the
mirror; --damage metadata-past-end points both metadata files past the image's end.
"""
import argparse, binascii, os, struct

B = 2048
PART_START = 257           # physical partition, after the anchor at block 256
META_UNIT = 32             # allocation and alignment unit of the metadata file, in blocks
REV = 0x0250


def tag(ident, body, loc):
    """Descriptor tag + body: checksum over the tag, CRC over the body (ECMA-167 3/7.2)."""
    crc = binascii.crc_hqx(body, 0)
    t = bytearray(struct.pack("<HHBBHHHI", ident, 3, 0, 0, 1, crc, len(body), loc))
    t[4] = sum(t) & 0xFF
    return bytes(t) + body


def regid(ident, suffix=b""):
    return b"\0" + ident.encode().ljust(23, b"\0") + suffix.ljust(8, b"\0")


def udf_suffix(flags=0):
    return struct.pack("<HB", REV, flags)


def dstring(text, size):
    raw = b"\x08" + text.encode()[:size - 2]
    return raw.ljust(size - 1, b"\0") + bytes([len(raw)])


CHARSPEC = b"\0" + b"OSTA Compressed Unicode".ljust(63, b"\0")
STAMP = struct.pack("<HhBBBBBBBB", 1 << 12, 2026, 1, 1, 12, 0, 0, 0, 0, 0)
IMPL = regid("*Velloran test media")


def long_ad(length, block, part):
    return struct.pack("<IIH6x", length, block, part)


def entry(loc, file_type, size, ads, ad_kind, uid, links=1):
    """Extended File Entry (tag 266) whose allocation descriptors are ads (bytes)."""
    icb = struct.pack("<IHHHBB6xH", 0, 4, 0, 1, 0, file_type, ad_kind)
    body = icb + struct.pack("<IIIHBBIQQQ", 0xFFFFFFFF, 0xFFFFFFFF, 0x14A5, links, 0, 0, 0,
                             size, size, (size + B - 1) // B)
    body += STAMP * 4 + struct.pack("<II", 1, 0) + bytes(32) + IMPL
    body += struct.pack("<QII", uid, 0, len(ads)) + ads
    return tag(266, body, loc)


def fid(name, is_dir, parent, icb_block, loc):
    """File Identifier Descriptor (tag 257), padded to a multiple of four bytes."""
    ident = b"" if parent else b"\x08" + name.encode()
    flags = (2 if is_dir else 0) | (8 if parent else 0)
    body = struct.pack("<HBB", 1, flags, len(ident)) + long_ad(B, icb_block, 1)
    body += struct.pack("<H", 0) + ident
    body += bytes(-(len(body) + 16) % 4)
    return tag(257, body, loc)


def scan(folder):
    """[(path relative to folder, is_dir, children)] in breadth-first order, root first."""
    nodes, queue = [], [""]
    while queue:
        rel = queue.pop(0)
        names = sorted(os.listdir(os.path.join(folder, rel)))
        kids = [os.path.join(rel, n) for n in names]
        nodes.append((rel, True, kids))
        for k in kids:
            if os.path.isdir(os.path.join(folder, k)):
                queue.append(k)
            else:
                nodes.append((k, False, []))
    return nodes


def write_image(folder, out, volume="BDROM", damage=None):
    nodes = scan(folder)
    # Metadata partition blocks: 0 the file set descriptor, then each node's file entry and,
    # for a folder, its identifiers right behind it.
    fe_at, dir_fids, size_of, meta = {}, {}, {}, 1
    for rel, is_dir, kids in nodes:
        fe_at[rel] = meta
        meta += 1
        if is_dir:
            n = 40 + sum((38 + 1 + len(os.path.basename(k).encode()) + 3) // 4 * 4 for k in kids)
            dir_fids[rel] = (meta, n)
            meta += (n + B - 1) // B
        else:
            size_of[rel] = os.path.getsize(os.path.join(folder, rel))
    meta_blocks = -(-meta // META_UNIT) * META_UNIT
    meta_start = META_UNIT                              # partition block of the metadata file
    data_at, at = {}, meta_start + meta_blocks
    for rel, is_dir, _ in nodes:
        if not is_dir:
            data_at[rel] = at
            at += (size_of[rel] + B - 1) // B
    mirror_start = -(-at // META_UNIT) * META_UNIT
    part_len = mirror_start + meta_blocks
    total = PART_START + part_len + 1                   # closing anchor in the last block

    m = bytearray(meta_blocks * B)                      # the metadata partition's content

    def put(block, data):
        m[block * B:block * B + len(data)] = data

    root = long_ad(B, fe_at[""], 1)
    fsd = STAMP + struct.pack("<HHIIII", 3, 3, 1, 1, 0, 0) + CHARSPEC + dstring(volume, 128)
    fsd += CHARSPEC + dstring(volume, 32) + bytes(64) + root + regid("*OSTA UDF Compliant",
                                                                      udf_suffix()) + bytes(64)
    put(0, tag(256, fsd, 0))
    parent_of = {k: rel for rel, is_dir, kids in nodes for k in kids}
    uid = 16
    for rel, is_dir, kids in nodes:
        uid += 1
        if is_dir:
            block, n = dir_fids[rel]
            data = bytearray()
            items = [(None, True, fe_at[parent_of.get(rel, "")])]
            items += [(os.path.basename(k), os.path.isdir(os.path.join(folder, k)), fe_at[k])
                      for k in kids]
            for name, kid_dir, icb in items:
                data += fid(name, kid_dir, name is None, icb, block + len(data) // B)
            put(block, data)
            links = 1 + sum(os.path.isdir(os.path.join(folder, k)) for k in kids)
            ads = long_ad(len(data), block, 1)
            put(fe_at[rel], entry(fe_at[rel], 4, len(data), ads, 1, 0 if rel == "" else uid, links))
        else:
            ads, left, block = b"", size_of[rel], data_at[rel]
            while left:
                n = min(left, (1 << 30) - B)
                ads += long_ad(n, block, 0)
                left, block = left - n, block + n // B
            put(fe_at[rel], entry(fe_at[rel], 5, size_of[rel], ads, 1, uid))

    meta_ad = lambda start: struct.pack("<II", meta_blocks * B, start)
    if damage == "metadata-past-end":
        meta_ad = lambda start: struct.pack("<II", meta_blocks * B, total + start)
    meta_fe = entry(0, 250, meta_blocks * B, meta_ad(meta_start), 0, 0)
    mirror_fe = entry(1, 251, meta_blocks * B, meta_ad(mirror_start), 0, 0)

    # Volume descriptors (ECMA-167 3/10)
    pvd = struct.pack("<II", 1, 0) + dstring(volume, 32) + struct.pack("<HHHHII", 1, 1, 2, 3, 1, 1)
    pvd += dstring(volume, 128) + CHARSPEC * 2 + bytes(16) + IMPL + STAMP + IMPL + bytes(64)
    pvd += struct.pack("<IH", 0, 0) + bytes(22)
    iuvd = struct.pack("<I", 2) + regid("*UDF LV Info", udf_suffix()) + CHARSPEC
    iuvd += dstring(volume, 128) + bytes(36 * 3) + IMPL + bytes(128)
    pd = struct.pack("<IHH", 3, 1, 0) + regid("+NSR03") + bytes(128)
    pd += struct.pack("<III", 1, PART_START, part_len) + IMPL + bytes(128 + 156)
    maps = struct.pack("<BBHH", 1, 6, 1, 0)
    maps += struct.pack("<BBH", 2, 64, 0) + regid("*UDF Metadata Partition", udf_suffix())
    maps += struct.pack("<HHIIIIHB5x", 1, 0, 0, 1, 0xFFFFFFFF, META_UNIT, META_UNIT, 0)
    lvd = struct.pack("<I", 4) + CHARSPEC + dstring(volume, 128) + struct.pack("<I", B)
    lvd += regid("*OSTA UDF Compliant", udf_suffix()) + long_ad(B, 0, 1)
    lvd += struct.pack("<II", len(maps), 2) + IMPL + bytes(128) + struct.pack("<II", 2 * B, 64)
    lvd += maps
    usd = struct.pack("<II", 5, 0)

    def vds(start):
        return [(start + i, tag(ident, body, start + i)) for i, (ident, body) in enumerate(
            [(1, pvd), (4, iuvd), (5, pd), (6, lvd), (7, usd), (8, bytes(496))])]

    files = sum(1 for n in nodes if not n[1])
    lvid = STAMP + struct.pack("<III", 1, 0, 0) + struct.pack("<Q", uid + 1) + bytes(24)
    lvid += struct.pack("<II", 2, 46) + struct.pack("<IIII", 0, 0, part_len, meta_blocks)
    lvid += IMPL + struct.pack("<IIHHH", files, len(nodes) - files, REV, REV, REV)
    avdp = struct.pack("<IIII", 16 * B, 32, 16 * B, 48) + bytes(480)

    tmp = out + ".part"
    with open(tmp, "wb") as f:
        def at_block(block, data):
            f.seek(block * B)
            f.write(data)
        f.truncate(total * B)
        for i, ident in enumerate((b"BEA01", b"NSR03", b"TEA01")):
            at_block(16 + i, b"\0" + ident + b"\1")
        for block, data in vds(32) + vds(48):
            at_block(block, data)
        at_block(64, tag(9, lvid, 64))
        at_block(65, tag(8, bytes(496), 65))
        at_block(256, tag(2, avdp, 256))
        at_block(total - 1, tag(2, avdp, total - 1))
        at_block(PART_START, meta_fe)
        at_block(PART_START + 1, mirror_fe)
        at_block(PART_START + meta_start, bytes(len(m)) if damage == "main-metadata" else m)
        at_block(PART_START + mirror_start, m)
        for rel, block in data_at.items():
            f.seek((PART_START + block) * B)
            with open(os.path.join(folder, rel), "rb") as src:
                while chunk := src.read(1 << 20):
                    f.write(chunk)
    os.replace(tmp, out)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("folder")
    ap.add_argument("out")
    ap.add_argument("--volume", default="BDROM")
    ap.add_argument("--damage", choices=("main-metadata", "metadata-past-end"))
    args = ap.parse_args()
    write_image(args.folder, args.out, args.volume, args.damage)


if __name__ == "__main__":
    main()
