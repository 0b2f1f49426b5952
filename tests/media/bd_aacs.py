"""Marks an authored BDMV tree as an AACS-encrypted disc is: an AACS folder holding a unit key
file, a media key block and the copy control of the one CPS unit, and every aligned unit of the
streams encrypted: the unit's first source packet carries the copy-permission bits and a
transport_scrambling_control of "scrambled", the 16 bytes AACS leaves in clear stay, and the
rest of the 6144 bytes become cipher-like bytes. No keys exist for it, so a player can only say
why it cannot play it."""
import glob, os, random, struct

UNIT, CLEAR = 6144, 16


def _encrypt_stream(path, seed):
    noise = random.Random(seed)
    with open(path, "r+b") as f:
        data = bytearray(f.read())
        for at in range(0, len(data) - UNIT + 1, UNIT):
            data[at] |= 0xC0                  # copy_permission_indicator: encrypted unit
            data[at + 7] = (data[at + 7] & 0x3F) | 0x80   # scrambled with the even key
            data[at + CLEAR:at + UNIT] = noise.randbytes(UNIT - CLEAR)
        f.seek(0)
        f.write(data)


def _unit_key_file():
    """Application type 1 (BDMV), one BDMV folder, first play, top menu and the one title in CPS
    unit 1, one encrypted unit key; a whole number of sectors, as on a disc."""
    uk_pos = 0x40
    head = struct.pack(">I", uk_pos).ljust(16, b"\0") + bytes([1, 1, 0, 0])
    head += struct.pack(">HHHHH", 1, 1, 1, 0, 1)
    keys = struct.pack(">H", 1).ljust(48, b"\0") + random.Random(1).randbytes(16)
    return (head.ljust(uk_pos, b"\0") + keys).ljust(2 * 2048, b"\0")


def _media_key_block():
    type_and_version = bytes([0x10, 0, 0, 12]) + struct.pack(">II", 0x00031003, 1)
    end = bytes([0x02, 0, 0, 4])
    return type_and_version + end


def _usage_rules():
    """CPS unit 1's copy control: one basic entry saying copy never, so the unit is encrypted."""
    basic = struct.pack(">HHH", 0x0101, 0x0100, 0x84) + bytes([0x03, 0]) + struct.pack(">H", 1)
    return (struct.pack(">H", 1).ljust(16, b"\0") + basic.ljust(6 + 0x84, b"\0")).ljust(2048, b"\0")


def mark(root):
    for i, path in enumerate(sorted(glob.glob(os.path.join(root, "BDMV", "STREAM", "*.m2ts")))):
        _encrypt_stream(path, i)
    aacs = os.path.join(root, "AACS")
    os.makedirs(aacs, exist_ok=True)
    for name, data in (("Unit_Key_RO.inf", _unit_key_file()), ("MKB_RO.inf", _media_key_block()),
                       ("CPSUnit00001.cci", _usage_rules())):
        with open(os.path.join(aacs, name), "wb") as f:
            f.write(data)
