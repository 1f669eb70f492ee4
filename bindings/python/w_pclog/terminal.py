"""Terminals as objects: each method is one export, its arguments checked
and converted, its result turned into a return value or a WPclogError.

The data folder. The library writes its files (pclog.dat, pclog.txt,
downbak, FINGERREC, zwbak.txt) into the folder named by W_PCLOG_DIR, which
it reads at every call. A terminal object is given its folder (or one per
call with data_dir=); each call sets W_PCLOG_DIR for its own duration under
one lock of this module, so calls made through these objects run one at a
time in the process even from several threads. The library's real-time
text and fingerprint buffer are not meant for overlapping calls either. The
process's current directory is never changed.
"""

import os
import threading
from pathlib import Path
from typing import List, Optional, Sequence

from . import records
from ._library import load
from .counted import CountedText

_call_lock = threading.RLock()

NO_RECORD = "0" * 20
MAX_NAME_BYTES = 253  # what the block's length byte leaves for a name
MAX_VOICE_TEXT = 99  # the terminal's text area holds 100 bytes with its zero


class WPclogError(Exception):
    """An export reported failure: which export, its result, what that means."""

    def __init__(self, export: str, result, meaning: str):
        super().__init__(f"{export} returned {result}: {meaning}")
        self.export, self.result, self.meaning = export, result, meaning


def _byte(name, value):
    if not 0 <= value <= 255:
        raise ValueError(f"{name} is a byte (0..255), not {value}")
    return value


def _text(what, data, limit):
    if len(data) > limit:
        raise ValueError(f"{what} is at most {limit} bytes, not {len(data)}")
    return data


def _voice_values(values):
    values = list(values)
    if len(values) != 13:
        raise ValueError(f"a voice entry has thirteen values, not {len(values)}")
    return values


def _person(value):
    if not 0 <= value <= 65535:
        raise ValueError(f"a person number is 0..65535, not {value}")
    return value


class _Terminal:
    def __init__(self, data_dir=None):
        self.data_dir = Path(data_dir if data_dir is not None else os.getcwd())

    def call(self, export: str, *args, data_dir=None):
        """Calls an export as it is, with W_PCLOG_DIR set to the data folder,
        and gives its raw result."""
        folder = str(Path(data_dir) if data_dir is not None else self.data_dir)
        function = getattr(load(), export)
        with _call_lock:
            before = os.environ.get("W_PCLOG_DIR")
            os.environ["W_PCLOG_DIR"] = folder + os.sep
            try:
                return function(*args)
            finally:
                if before is None:
                    del os.environ["W_PCLOG_DIR"]
                else:
                    os.environ["W_PCLOG_DIR"] = before

    def _done(self, export, *args, meaning="the terminal did not acknowledge", data_dir=None):
        result = self.call(export, *args, data_dir=data_dir)
        if result != 0:
            raise WPclogError(export, result, meaning)

    def _records(self, export, file_name, *args, data_dir=None, tags=records.SIXTY_ELSE_THIRTY):
        folder = Path(data_dir) if data_dir is not None else self.data_dir
        self._done(export, *args, data_dir=folder,
                   meaning="the download or its conversion failed; the terminal was not cleared")
        return list(records.read_records(folder / file_name, tags))

    def _fetch(self, export, *args):
        text = self.call(export, *args).decode("ascii", "replace")
        if text == NO_RECORD:
            return None
        return records.decode_record(_fetch_bytes(text), tags=records.INDEPENDENT)


def _fetch_bytes(text):
    """Record bytes rebuilt from a real-time text (number, year, month, day,
    hour, minute, tag with both flags added), so that the fetch reads as a
    Record; a tag of 60 to 91 can come from more than one pair of flag and
    tag bits, so raw is one of the byte forms that give the text."""
    person, year, month, day = int(text[0:6]), int(text[6:10]), int(text[10:12]), int(text[12:14])
    hour, minute, tag = int(text[14:16]), int(text[16:18]), int(text[18:])
    flags, bits = (3, tag - 90) if tag >= 90 else (2, tag - 60) if tag >= 60 else \
        (1, tag - 30) if tag >= 30 else (0, tag)
    return bytes([person >> 8 & 0xFF, person & 0xFF, (year - 2000) << 4 | month,
                  flags << 6 | day, (bits >> 2) << 5 | hour, (bits & 3) << 6 | minute])


class SerialTerminal(_Terminal):
    """A terminal on a serial line: address is its one-byte address, port the
    port number (1..6) where the library's search of ports starts; on Linux
    port N is the device named by W_PCLOG_COM<N>, else /dev/ttyS<N-1>."""

    def __init__(self, port: int = 1, address: int = 1, data_dir=None):
        super().__init__(data_dir)
        self.port, self.address = port, address

    def __repr__(self):
        return f"SerialTerminal(port={self.port}, address={self.address})"

    def find(self) -> int:
        """The port the terminal answers on (_TESTCOM)."""
        port = self.call("_TESTCOM", self.address, self.port)
        if port == -1:
            raise WPclogError("_TESTCOM", -1, "no port answered")
        return port

    def download(self, data_dir=None) -> List[records.Record]:
        """Every record (pclog.dat, converted to pclog.txt, backups in
        downbak), after which the terminal is cleared."""
        return self._records("_DOWNLOAD", "pclog.dat", self.address, self.port, data_dir=data_dir)

    def clear(self):
        """Deletes the terminal's records (_DELETE)."""
        self._done("_DELETE", self.address, self.port)

    def realtime(self) -> Optional[records.Record]:
        """The one record the terminal holds ready, None when it holds none
        or the fetch failed (the library tells the two apart no further)."""
        return self._fetch("_REALDOWNLOAD", self.address, self.port)

    def set_time(self, clock: Sequence[int]):
        """Sends the seven clock bytes as given: which field each carries,
        binary or BCD, is the terminal's agreement with the host."""
        clock = [_byte("a clock byte", c) for c in clock]
        if len(clock) != 7:
            raise ValueError(f"the clock is seven bytes, not {len(clock)}")
        self._done("_SETTIME", self.address, self.port, *clock)

    def set_machine_id(self, machine: int):
        self._done("_SETMACHINEID", self.address, self.port, _byte("machine", machine))

    def enable_all(self):
        self._done("_ENABLEALL", self.address, self.port)

    def disable_all(self):
        self._done("_DISABLEALL", self.address, self.port)

    def enable_person(self, person: int):
        self._done("_ENABLEPERSON", self.address, self.port, _person(person))

    def disable_person(self, person: int):
        self._done("_DISABLEPERSON", self.address, self.port, _person(person))

    def send_name(self, person: int, name: str, encoding: str = "ascii"):
        """Loads a display name (at most 253 bytes in the encoding)."""
        data = _text("a name", name.encode(encoding), MAX_NAME_BYTES)
        if b"\0" in data:
            raise ValueError("a name sent as a zero-terminated text holds no zero byte")
        self._done("_SENDNAME", self.address, self.port, _person(person), data)

    def delete_all_names(self):
        self._done("_DELETEALLNAME", self.address, self.port)

    def send_voice(self, values: Sequence[int], text: str, encoding: str = "ascii"):
        """Loads a voice entry: thirteen values and a text of at most 99
        bytes (a counted text); voice number 0 deletes every entry."""
        counted = CountedText(_text("a voice text", text.encode(encoding), MAX_VOICE_TEXT))
        self._done("_SENDVOICE", self.address, self.port, *_voice_values(values),
                   counted.pointer)

    def card_number(self, sn: int) -> int:
        """The terminal's 16-bit value for an SN number (_WHATSN)."""
        value = self.call("_WHATSN", self.address, self.port, sn)
        if value == 65535:
            raise WPclogError("_WHATSN", value, "the query failed (or the value is 65535)")
        return value

    def fingerprint_templates(self, data_dir=None) -> List[tuple]:
        """The templates the fingerprint module holds, as (user, attribute,
        template number), from FINGERREC/IDLIST.TXT (_GETIDLIST)."""
        folder = Path(data_dir) if data_dir is not None else self.data_dir
        status = self.call("_GETIDLIST", self.address, self.port, data_dir=folder)
        if status == 255:
            raise WPclogError("_GETIDLIST", status, "the exchange with the module failed")
        lines = (folder / "FINGERREC" / "IDLIST.TXT").read_text("ascii").split()
        return [(int(x[0:6]), int(x[6:8]), int(x[8:10])) for x in lines if len(x) == 10]


class NetworkTerminal(_Terminal):
    """A terminal on TCP port 1024 of its IPv4 address."""

    def __init__(self, ip: str, data_dir=None):
        super().__init__(data_dir)
        self.ip = ip
        self._ip = ip.encode("ascii")

    def __repr__(self):
        return f"NetworkTerminal({self.ip!r})"

    def download(self, data_dir=None) -> List[records.Record]:
        """Every record (pclog.dat, converted to pclog.txt, backups in
        downbak), after which the terminal is cleared."""
        return self._records("_LANDOWNLOAD", "pclog.dat", self._ip, data_dir=data_dir)

    def download_terminal(self, terminal: int, data_dir=None) -> List[records.Record]:
        """The same into "pclog" + terminal + ".dat" (_LANMANYDOWNLOAD), whose
        tags add both flags."""
        return self._records("_LANMANYDOWNLOAD", f"pclog{terminal}.dat", self._ip, terminal,
                             data_dir=data_dir, tags=records.INDEPENDENT)

    def clear(self):
        self._done("_LANDELETE", self._ip, meaning="the frame could not be sent")

    def realtime(self) -> Optional[records.Record]:
        return self._fetch("_LANREALDOWNLOAD", self._ip)

    def set_time(self, clock: Sequence[int]):
        clock = [_byte("a clock byte", c) for c in clock]
        if len(clock) != 7:
            raise ValueError(f"the clock is seven bytes, not {len(clock)}")
        self._done("_LANSETTIME", self._ip, *clock)

    def enable_all(self):
        self._done("_LANENABLEALL", self._ip)

    def disable_all(self):
        self._done("_LANDISABLEALL", self._ip)

    def enable_person(self, person: int):
        self._done("_LANENABLEPERSON", self._ip, _person(person))

    def disable_person(self, person: int):
        self._done("_LANDISABLEPERSON", self._ip, _person(person))

    def send_name(self, person: int, name: str, encoding: str = "ascii"):
        """Loads a display name (at most 253 bytes in the encoding), passed
        as the counted text the network export reads."""
        text = CountedText(_text("a name", name.encode(encoding), MAX_NAME_BYTES))
        self._done("_LANSENDNAME", self._ip, _person(person), text.pointer)

    def send_voice(self, values: Sequence[int], text: str, encoding: str = "ascii") -> int:
        """Loads a voice entry: thirteen values and a text of at most 99
        bytes (a counted text). The terminal's greeting number."""
        counted = CountedText(_text("a voice text", text.encode(encoding), MAX_VOICE_TEXT))
        greeting = self.call("_LANSENDVOICE", self._ip, *_voice_values(values), counted.pointer)
        if greeting == 0:
            raise WPclogError("_LANSENDVOICE", 0, "the terminal did not greet or acknowledge")
        return greeting

    def delete_all_names(self):
        self._done("_LANDELETEALLNAME", self._ip)


def copy_name(prefix, person: int, name: str, encoding: str = "ascii"):
    """Appends person and the name's first 8 bytes to prefix + "NAM" + MMDD
    + ".DAT", the host's dated copy of loaded names (_COPYNAME)."""
    text = CountedText(name.encode(encoding))
    result = _Terminal(os.getcwd()).call("_COPYNAME", os.fsencode(str(prefix)), _person(person),
                                         text.pointer)
    if result != 0:
        raise WPclogError("_COPYNAME", result, "the name file could not be written")
