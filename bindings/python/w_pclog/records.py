"""Clocking records as values, read from a record file (pclog.dat, or the
per-terminal "pclog" + terminal + ".dat") without the library.

A record is 6 bytes:

    byte 0-1  person number, high byte first
    byte 2    year - 2000 (high nibble), month (low nibble)
    byte 3    bit 7: tag + 60, bit 6: tag + 30, bits 5-0: day
    byte 4    tag bits 4-2 (bits 7-5), hour (bits 4-0)
    byte 5    tag bits 1-0 (bits 7-6), minute (bits 5-0)

A record is valid when its year is 2005 or later (terminals count from
2005), its month 1-12, day 1-31, hour 0-23 and minute 0-59. The file is
walked as the library's conversion walks it: past a valid record by its 6
bytes, past an invalid position by one byte, so that a file with a stray
byte falls back into step.
"""

import datetime as _dt
from dataclasses import dataclass
from typing import Iterator, Optional

RECORD_SIZE = 6

# How the two flag bits of byte 3 raise the tag: the file conversions let
# bit 7 win (60, else 30); the per-terminal files and the real-time fetch
# add both (up to 90).
SIXTY_ELSE_THIRTY = "sixty-else-thirty"
INDEPENDENT = "independent"
_ADDED = {SIXTY_ELSE_THIRTY: (0, 30, 60, 60), INDEPENDENT: (0, 30, 60, 90)}


@dataclass(frozen=True)
class Record:
    offset: int  # where in the file the 6 bytes start
    person: int
    year: int  # as the record holds it: 2000-2015
    month: int
    day: int
    hour: int
    minute: int
    tag: int
    raw: bytes
    valid: bool

    @property
    def datetime(self) -> Optional[_dt.datetime]:
        """The moment of the clocking, or None where the fields name no day
        of the calendar (an invalid record, or a 31 February)."""
        try:
            return _dt.datetime(self.year, self.month, self.day, self.hour, self.minute)
        except ValueError:
            return None

    @property
    def line(self) -> str:
        """The 21-character text line the conversion writes for the record."""
        tag = self.tag if self.tag < 100 else self.tag // 10
        return (f"{self.person:06d}{self.hour:02d}:{self.minute:02d}"
                f"{self.year:04d}{self.month:02d}{self.day:02d}{tag:02d}")


def decode_record(raw: bytes, offset: int = 0, tags: str = SIXTY_ELSE_THIRTY) -> Record:
    """The fields of 6 record bytes, whatever they hold."""
    if len(raw) != RECORD_SIZE:
        raise ValueError(f"a clocking record is {RECORD_SIZE} bytes, not {len(raw)}")
    b = bytes(raw)
    year, month = 2000 + (b[2] >> 4), b[2] & 0x0F
    day, hour, minute = b[3] & 0x3F, b[4] & 0x1F, b[5] & 0x3F
    flags = (b[3] >> 6) & 0x03  # bit 7, bit 6
    tag = ((b[4] >> 5) << 2 | b[5] >> 6) + _ADDED[tags][flags]
    valid = year >= 2005 and 1 <= month <= 12 and 1 <= day <= 31 and hour <= 23 and minute <= 59
    return Record(offset, b[0] << 8 | b[1], year, month, day, hour, minute, tag, b, valid)


def iter_records(data: bytes, tags: str = SIXTY_ELSE_THIRTY,
                 invalid: bool = False) -> Iterator[Record]:
    """The records of a record file's bytes, in the conversion's walk; with
    invalid=True also each position the walk rejects (valid False)."""
    if tags not in _ADDED:
        raise ValueError(f"tags is {SIXTY_ELSE_THIRTY!r} or {INDEPENDENT!r}, not {tags!r}")
    pos = 0
    while pos + RECORD_SIZE <= len(data):
        record = decode_record(data[pos:pos + RECORD_SIZE], pos, tags)
        if record.valid:
            yield record
            pos += RECORD_SIZE
        else:
            if invalid:
                yield record
            pos += 1


def read_records(path, tags: str = SIXTY_ELSE_THIRTY, invalid: bool = False) -> Iterator[Record]:
    """The records of the record file at path (see iter_records)."""
    with open(path, "rb") as f:
        data = f.read()
    return iter_records(data, tags, invalid)
