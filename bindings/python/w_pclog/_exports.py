# Generated from include/w_pclog.h by tools/bindings_from_header.py: do not edit.
# Run `make bindings` after changing the header.
"""The exports of w_pclog as ctypes declarations.

EXPORTS maps each export's name to its result type, its arguments (name,
ctypes type) and the header's words on it. A text argument takes bytes; a
counted text (c_void_p) takes the address of the first character of a
text laid out as the library reads it (see w_pclog.counted).
"""

from collections import namedtuple
from ctypes import c_char_p, c_int32, c_void_p

Export = namedtuple("Export", "restype params counted doc")

EXPORTS = {
    "_DELETE": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "Serial basics. Address: terminal number (low byte sent); port: 1..6, the port "
        "the scan starts from. 0 done, 1 failed",
    ),
    "_TESTCOM": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _DELETE. port number or -1",
    ),
    "_LANDELETE": Export(
        c_int32,
        (("ip", c_char_p),),
        (),
        "Network basics. ip: the terminal's IPv4 address as dotted-decimal text; the "
        "terminal listens on TCP port 1024. 0 frame sent, 1 failed",
    ),
    "_DOWNLOAD": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "Downloads every record into pclog.dat, converts it to pclog.txt with backups in "
        "downbak, and clears the terminal: 0 complete, 1 failed.",
    ),
    "_LANDOWNLOAD": Export(
        c_int32,
        (("ip", c_char_p),),
        (),
        "The same over TCP port 1024, clearing with _LANDELETE. _LANDOWNLOAD writes "
        "pclog.dat; _LANMANYDOWNLOAD \"pclog\" + terminal + \".dat\"; _LANDOWNLOADADDR "
        "pclog.dat with the given address byte in the frame. 0 complete, 1 failed.",
    ),
    "_LANMANYDOWNLOAD": Export(
        c_int32,
        (("ip", c_char_p), ("terminal", c_int32),),
        (),
        "See _LANDOWNLOAD.",
    ),
    "_LANDOWNLOADADDR": Export(
        c_int32,
        (("ip", c_char_p), ("address", c_int32),),
        (),
        "See _LANDOWNLOAD.",
    ),
    "_MODEMDOWNLOAD": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("number", c_char_p),),
        (),
        "Through a dial-up modem on the port (9600 baud): AT commands, the dial of "
        "number (1 to 32 characters, no control bytes), then the download into pclog.dat "
        "and pclog.txt. The terminal is not cleared. 0 complete, 1 failed.",
    ),
    "_CONVERFILE": Export(
        c_int32,
        (("directory", c_char_p), ("name", c_char_p),),
        (),
        "Conversions. Reads directory + name + \".dat\" and rewrites directory + name + "
        "\".txt\", keeping a dated copy of the text in directory + \"downbak\"; the "
        "directory ends with a path separator. 0 done, 1 failed. _CONVERFILE takes "
        "6-byte clocking records, _CONVERXFFILE 17-byte consumption records.",
    ),
    "_CONVERXFFILE": Export(
        c_int32,
        (("directory", c_char_p), ("name", c_char_p),),
        (),
        "See _CONVERFILE.",
    ),
    "_SETTIME": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("c1", c_int32), ("c2", c_int32), ("c3", c_int32), ("c4", c_int32), ("c5", c_int32), ("c6", c_int32), ("c7", c_int32),),
        (),
        "Clock, identity and line speed. The values are sent as the host gives them "
        "(their low byte; a password as bits 8-15 then 0-7). 0 the terminal "
        "acknowledged, 1 failed.",
    ),
    "_LANSETTIME": Export(
        c_int32,
        (("ip", c_char_p), ("c1", c_int32), ("c2", c_int32), ("c3", c_int32), ("c4", c_int32), ("c5", c_int32), ("c6", c_int32), ("c7", c_int32),),
        (),
        "See _SETTIME.",
    ),
    "_SETMACHINEID": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("machine", c_int32),),
        (),
        "See _SETTIME.",
    ),
    "_SETPASSWORD": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("password", c_int32),),
        (),
        "See _SETTIME.",
    ),
    "_LANANSWER": Export(
        c_int32,
        (("ip", c_char_p), ("value", c_int32),),
        (),
        "See _SETTIME.",
    ),
    "_SETBAUDRATE": Export(
        c_int32,
        (("port", c_int32), ("last", c_int32), ("r1", c_int32), ("r2", c_int32), ("r3", c_int32), ("r4", c_int32), ("r5", c_int32), ("r6", c_int32), ("r7", c_int32), ("r8", c_int32), ("r9", c_int32), ("r10", c_int32), ("r11", c_int32), ("r12", c_int32),),
        (),
        "The line speed, on the given port only (no address, no scan of ports): the "
        "request is r1..r12 then `last`, tried at 57600, 38400, ... 1200 and 57600 "
        "again.",
    ),
    "_ENABLEALL": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "Users: all at once, or one person (0..65535). 0 acknowledged, 1 failed.",
    ),
    "_DISABLEALL": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _ENABLEALL.",
    ),
    "_ENABLEPERSON": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("person", c_int32),),
        (),
        "See _ENABLEALL.",
    ),
    "_DISABLEPERSON": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("person", c_int32),),
        (),
        "See _ENABLEALL.",
    ),
    "_RESTORE": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _ENABLEALL.",
    ),
    "_RESTOREALL": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _ENABLEALL.",
    ),
    "_LANENABLEALL": Export(
        c_int32,
        (("ip", c_char_p),),
        (),
        "See _ENABLEALL.",
    ),
    "_LANDISABLEALL": Export(
        c_int32,
        (("ip", c_char_p),),
        (),
        "See _ENABLEALL.",
    ),
    "_LANENABLEPERSON": Export(
        c_int32,
        (("ip", c_char_p), ("person", c_int32),),
        (),
        "See _ENABLEALL.",
    ),
    "_LANDISABLEPERSON": Export(
        c_int32,
        (("ip", c_char_p), ("person", c_int32),),
        (),
        "See _ENABLEALL.",
    ),
    "_LANRESTOREALL": Export(
        c_int32,
        (("ip", c_char_p),),
        (),
        "See _ENABLEALL.",
    ),
    "_SETOPENMODE": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("value", c_int32),),
        (),
        "Door and bell (low bytes sent). The serial open-or-closed flag 1 sends 0x55, "
        "any other 0x00; the network form sends its value as it is. 0 acknowledged, 1 "
        "failed.",
    ),
    "_LANSETOPENMODE": Export(
        c_int32,
        (("ip", c_char_p), ("value", c_int32),),
        (),
        "See _SETOPENMODE.",
    ),
    "_SETOPENTIME": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("value", c_int32),),
        (),
        "See _SETOPENMODE.",
    ),
    "_LANSETOPENTIME": Export(
        c_int32,
        (("ip", c_char_p), ("value", c_int32),),
        (),
        "See _SETOPENMODE.",
    ),
    "_SETOPENCLOSE": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("flag", c_int32),),
        (),
        "See _SETOPENMODE.",
    ),
    "_LANSETOPENCLOSE": Export(
        c_int32,
        (("ip", c_char_p), ("value", c_int32),),
        (),
        "See _SETOPENMODE.",
    ),
    "_SETBELL": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("first", c_int32), ("second", c_int32), ("third", c_int32),),
        (),
        "See _SETOPENMODE.",
    ),
    "_SETSN": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("first", c_int32), ("second", c_int32),),
        (),
        "Card numbers. SN and lock numbers are 16-bit (bits 8-15 sent first, higher bits "
        "dropped); the mode and wait bytes their low byte. 0 acknowledged, 1 failed. "
        "_SETSN and _DELSN give the terminal 30 s to answer the block.",
    ),
    "_LANSETSN": Export(
        c_int32,
        (("ip", c_char_p), ("first", c_int32), ("second", c_int32),),
        (),
        "See _SETSN.",
    ),
    "_DELSN": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("sn", c_int32),),
        (),
        "See _SETSN.",
    ),
    "_LANDELSN": Export(
        c_int32,
        (("ip", c_char_p), ("sn", c_int32),),
        (),
        "See _SETSN.",
    ),
    "_SETSNORCARD": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("mode", c_int32),),
        (),
        "See _SETSN.",
    ),
    "_SETCARDWAITTIME": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("wait", c_int32),),
        (),
        "See _SETSN.",
    ),
    "_SETLOCKNUM": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("lock", c_int32),),
        (),
        "See _SETSN.",
    ),
    "_DELLOCKNUM": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _SETSN.",
    ),
    "_WHATSN": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("sn", c_int32),),
        (),
        "The SN queries: the terminal's 16-bit value, or 65535 on any failure (a true "
        "value of 65535 reads as a failure).",
    ),
    "_GETSNLENTH": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _WHATSN.",
    ),
    "_REALDOWNLOAD": Export(
        c_char_p,
        (("address", c_int32), ("port", c_int32),),
        (),
        "The real-time fetch: the one record the terminal holds ready, as the text "
        "number(6) year(4) month(2) day(2) hour(2) minute(2) tag(2, 3 from 100), or "
        "\"00000000000000000000\" for no record and any failure. The text lives in the "
        "library, one buffer per export and per thread, valid until the same thread's "
        "next call of the same export; the host does not free it.",
    ),
    "_LANREALDOWNLOAD": Export(
        c_char_p,
        (("ip", c_char_p),),
        (),
        "See _REALDOWNLOAD.",
    ),
    "_SENDNAME": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("person", c_int32), ("name", c_char_p),),
        (),
        "Names, keyed by person number (0..65535, high byte first on the wire). The name "
        "of _SENDNAME is zero-terminated; those of _LANSENDNAME and _COPYNAME are "
        "counted texts: the length (32 bits) in the 4 bytes before the first character, "
        "a reference count in the 4 before those, raised for the call unless it is -1; a "
        "null pointer is the empty text. A name is sent whole, at most 253 bytes "
        "(longer: 1, nothing sent). _COPYNAME appends person and the name's first 8 "
        "bytes to prefix + \"NAM\" + MMDD + \".DAT\". 0 done, 1 failed.",
    ),
    "_LANSENDNAME": Export(
        c_int32,
        (("ip", c_char_p), ("person", c_int32), ("name", c_void_p),),
        ("name",),
        "See _SENDNAME.",
    ),
    "_CHANGENAMEID": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("first", c_int32), ("second", c_int32),),
        (),
        "See _SENDNAME.",
    ),
    "_LANCHANGENAMEID": Export(
        c_int32,
        (("ip", c_char_p), ("first", c_int32), ("second", c_int32),),
        (),
        "See _SENDNAME.",
    ),
    "_DELETEALLNAME": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _SENDNAME.",
    ),
    "_LANDELETEALLNAME": Export(
        c_int32,
        (("ip", c_char_p),),
        (),
        "See _SENDNAME.",
    ),
    "_COPYNAME": Export(
        c_int32,
        (("prefix", c_char_p), ("person", c_int32), ("name", c_void_p),),
        ("name",),
        "See _SENDNAME.",
    ),
    "_SENDVOICE": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("v1", c_int32), ("v2", c_int32), ("v3", c_int32), ("v4", c_int32), ("v5", c_int32), ("v6", c_int32), ("v7", c_int32), ("v8", c_int32), ("v9", c_int32), ("v10", c_int32), ("v11", c_int32), ("v12", c_int32), ("v13", c_int32), ("text", c_void_p),),
        ("text",),
        "Voice prompts: thirteen values (2, 3 and 5 sent as 16-bit numbers, the others "
        "by their low byte) and a counted text of at most 99 bytes. Voice number 0 "
        "deletes every entry. 0 done, 1 failed; _LANSENDVOICE returns the terminal's "
        "greeting number, 0 on failure.",
    ),
    "_DELVOICE": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("voice", c_int32),),
        (),
        "See _SENDVOICE.",
    ),
    "_DELALLVOICE": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _SENDVOICE.",
    ),
    "_LANSENDVOICE": Export(
        c_int32,
        (("ip", c_char_p), ("v1", c_int32), ("v2", c_int32), ("v3", c_int32), ("v4", c_int32), ("v5", c_int32), ("v6", c_int32), ("v7", c_int32), ("v8", c_int32), ("v9", c_int32), ("v10", c_int32), ("v11", c_int32), ("v12", c_int32), ("v13", c_int32), ("text", c_void_p),),
        ("text",),
        "See _SENDVOICE.",
    ),
    "_LANDELVOICE": Export(
        c_int32,
        (("ip", c_char_p), ("voice", c_int32),),
        (),
        "See _SENDVOICE.",
    ),
    "_LANDELALLVOICE": Export(
        c_int32,
        (("ip", c_char_p),),
        (),
        "See _SENDVOICE.",
    ),
    "_SENDONLYCARD": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("person", c_int32),),
        (),
        "The card-only list: persons who clock with their card alone. 0 acknowledged, 1 "
        "failed.",
    ),
    "_DELONLYCARD": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("person", c_int32),),
        (),
        "See _SENDONLYCARD.",
    ),
    "_DELALLONLYCARD": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _SENDONLYCARD.",
    ),
    "_FDATXDATA": Export(
        c_int32,
        (("port", c_int32), ("command", c_int32), ("p1", c_int32), ("p2", c_int32), ("p3", c_int32), ("p4", c_int32),),
        (),
        "Fingerprint module. Each returns the status byte of the module's reply (0-255; "
        "what it means is the module's), or 255 when the exchange failed. _FDATXDATA and "
        "_GETFDAVER talk to a module on the port directly (9600 baud; the port and the "
        "five after it are tried once each): any command with four 16-bit parameters "
        "(low 16 bits used), and the version.",
    ),
    "_GETFDAVER": Export(
        c_int32,
        (("port", c_int32),),
        (),
        "See _FDATXDATA.",
    ),
    "_GETIDLIST": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "Templates by user ID through the terminal's pass-through, with files in "
        "FINGERREC beside the data files: IDLIST.TXT, and FP + ID to 4 digits + \"_\" + "
        "template number + \".TXT\" (816 bytes). user 0-2047, attribute 0-15 (low byte), "
        "template number 1 or 2: anything else gives 255 with no file or port touched. "
        "_SENDIDFPREC ignores its fourth argument; _DELIDFPALL returns 0 on success.",
    ),
    "_SENDIDFPREC": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("user", c_int32), ("ignored", c_int32), ("number", c_int32),),
        (),
        "See _GETIDLIST.",
    ),
    "_GETIDFPREC": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("user", c_int32), ("attribute", c_int32), ("number", c_int32),),
        (),
        "See _GETIDLIST.",
    ),
    "_DELIDFPREC": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("user", c_int32), ("attribute", c_int32), ("number", c_int32),),
        (),
        "See _GETIDLIST.",
    ),
    "_DELIDFPALL": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32),),
        (),
        "See _GETIDLIST.",
    ),
    "_ZWBACKUP": Export(
        c_int32,
        (("address", c_int32), ("port", c_int32), ("mode", c_int32),),
        (),
        "Fingerprint backup. 0 done, 1 failed. _ZWBACKUP puts the terminal into backup "
        "mode (command 0x0E with the mode byte, then the terminal's second ACK within 60 "
        "s). _RXZWFILE receives the module's backup at 19200 baud, two stop bits, into "
        "zwbak.txt beside the data files; it receives into zwbak.new and puts that in "
        "the place of zwbak.txt only when the whole backup has arrived, so a failed "
        "receive leaves zwbak.txt as it was. _TXZWFILE sends zwbak.txt back to the "
        "module. Both try the given port and the five after it once each.",
    ),
    "_RXZWFILE": Export(
        c_int32,
        (("port", c_int32),),
        (),
        "See _ZWBACKUP.",
    ),
    "_TXZWFILE": Export(
        c_int32,
        (("port", c_int32),),
        (),
        "See _ZWBACKUP.",
    ),
}


def declare(lib):
    """Sets argtypes, restype and __doc__ of every export of a loaded library."""
    for name, export in EXPORTS.items():
        function = getattr(lib, name)
        function.restype = export.restype
        function.argtypes = [t for _, t in export.params]
        function.__doc__ = export.doc
    return lib
