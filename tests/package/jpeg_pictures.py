"""JPEG files written by Pillow, for the picture transfer tests, and the check that reads
what the package wrote back with Pillow.

    jpeg_pictures.py make DIR    writes NAME.jpg for every kind of JPEG below
    jpeg_pictures.py check DIR   opens NAME.blob.jpg (BlobToFile) and NAME.stream.jpg
                                 (StreamSendPicture) with Pillow and compares each with NAME.jpg

Every JPEG but one carries an EXIF segment with a thumbnail: a complete JPEG, start and end
markers included, inside the APP1 segment in front of the image.
"""
import io
import random
import struct
import sys
from pathlib import Path

from PIL import Image

IFD1 = -1  # Pillow's key for the thumbnail's directory (IFD1) of an EXIF block


def gradient(width, height, mode="RGB"):
    image = Image.new("RGB", (width, height))
    image.putdata([((x * 255) // max(width - 1, 1), (y * 255) // max(height - 1, 1), (x ^ y) & 255)
                   for y in range(height) for x in range(width)])
    return image.convert(mode)


def noise(width, height, seed):
    rng = random.Random(seed)
    return Image.frombytes("RGB", (width, height), bytes(rng.randrange(256) for _ in range(width * height * 3)))


def jpeg_bytes(image, **options):
    out = io.BytesIO()
    image.save(out, "JPEG", **options)
    return out.getvalue()


def exif_with_thumbnail(thumbnail):
    """An EXIF block (little-endian TIFF) whose second directory points at the thumbnail."""
    def directory(entries, next_offset):
        body = struct.pack("<H", len(entries))
        for tag, kind, count, value in entries:
            body += struct.pack("<HHII", tag, kind, count, value)
        return body + struct.pack("<I", next_offset)

    short, long_ = 3, 4
    ifd0_offset = 8
    ifd0 = directory([(0x0112, short, 1, 1)], 0)  # orientation; next offset patched below
    ifd1_offset = ifd0_offset + len(ifd0)
    ifd1_size = len(directory([(0, 0, 0, 0)] * 3, 0))
    thumbnail_offset = ifd1_offset + ifd1_size
    ifd0 = directory([(0x0112, short, 1, 1)], ifd1_offset)
    ifd1 = directory([(0x0103, short, 1, 6),  # compression: JPEG
                      (0x0201, long_, 1, thumbnail_offset),
                      (0x0202, long_, 1, len(thumbnail))], 0)
    tiff = b"II*\x00" + struct.pack("<I", ifd0_offset) + ifd0 + ifd1 + thumbnail
    return b"Exif\x00\x00" + tiff


def pictures():
    """name -> (JPEG bytes, whether it carries a thumbnail)."""
    small = gradient(64, 48)
    thumb = jpeg_bytes(small.resize((16, 12)), quality=80)
    exif = exif_with_thumbnail(thumb)
    large = noise(320, 200, 7)
    return {
        "plain": (jpeg_bytes(small, quality=90), False),
        "thumbnail": (jpeg_bytes(small, quality=90, exif=exif), True),
        "progressive": (jpeg_bytes(small, quality=90, progressive=True, exif=exif), True),
        "gray": (jpeg_bytes(gradient(33, 17, "L"), quality=75, exif=exif), True),
        "one-pixel": (jpeg_bytes(gradient(1, 1), exif=exif), True),
        # Entropy-coded data full of stuffed FF 00 bytes, sent in several 32000-byte pieces.
        "large": (jpeg_bytes(large, quality=100, subsampling=0, exif=exif), True),
        # An ICC profile segment that holds both markers as data.
        "markers-in-profile": (jpeg_bytes(small, quality=90, exif=exif,
                                          icc_profile=b"\xff\xd8 not an image \xff\xd9"), True),
    }


def make(directory):
    directory.mkdir(parents=True, exist_ok=True)
    for name, (data, _) in pictures().items():
        (directory / f"{name}.jpg").write_bytes(data)


def decoded(path):
    with Image.open(path) as image:
        image.load()
        thumbnail = image.getexif().get_ifd(IFD1)
        return image.size, image.mode, image.tobytes(), thumbnail


def check(directory):
    failures = []
    originals = sorted(directory.glob("*.jpg"))
    originals = [p for p in originals if p.stem.count(".") == 0]
    with_thumbnail = {name: thumbnail for name, (_, thumbnail) in pictures().items()}
    if {p.stem for p in originals} != set(with_thumbnail):
        failures.append(f"originals: {sorted(p.stem for p in originals)}")
    for original in originals:
        want = decoded(original)
        for way in ("blob", "stream"):
            copy = directory / f"{original.stem}.{way}.jpg"
            try:
                got = decoded(copy)
            except Exception as error:  # a cut or missing file is a failure, not a crash
                failures.append(f"{copy.name}: Pillow cannot read it: {error}")
                continue
            if got[:2] != want[:2]:
                failures.append(f"{copy.name}: {got[:2]} instead of {want[:2]}")
            elif got[2] != want[2]:
                failures.append(f"{copy.name}: the pixels differ")
            if bool(got[3]) != with_thumbnail.get(original.stem) or got[3] != want[3]:
                failures.append(f"{copy.name}: the thumbnail's directory differs")
    for failure in failures:
        print(failure)
    checked = 2 * len(originals)
    print(f"{checked - len(failures)} passed, {len(failures)} failed")
    return 1 if failures or not originals else 0


if __name__ == "__main__":
    command, directory = sys.argv[1], Path(sys.argv[2])
    if command == "make":
        make(directory)
        sys.exit(0)
    sys.exit(check(directory))
