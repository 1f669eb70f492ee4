/* w_pclog: talks to KORVANE time-attendance and access-control terminals.
 *
 * Every export performs one complete conversation with one terminal, or one
 * file conversion, and returns. On Windows the exports use the stdcall
 * convention and are exported by their plain names. */
#ifndef W_PCLOG_H
#define W_PCLOG_H

#include <stdint.h>

#if defined(_WIN32)
#define WPCLOG_CALL __stdcall
#else
#define WPCLOG_CALL
#endif

/* Marks a text argument that is a counted text: the host's own string, with
 * its 32-bit length in the 4 bytes before the first character and a 32-bit
 * reference count in the 4 before those (see the names below). */
#define WPCLOG_COUNTED

#ifdef __cplusplus
extern "C" {
#endif

/* Serial basics. Address: terminal number (low byte sent); port: 1..6, the
 * port the scan starts from. */
int32_t WPCLOG_CALL _DELETE(int32_t address, int32_t port);  /* 0 done, 1 failed */
int32_t WPCLOG_CALL _TESTCOM(int32_t address, int32_t port); /* port number or -1 */

/* Network basics. ip: the terminal's IPv4 address as dotted-decimal text; the
 * terminal listens on TCP port 1024. */
int32_t WPCLOG_CALL _LANDELETE(const char* ip); /* 0 frame sent, 1 failed */

/* Downloads every record into pclog.dat, converts it to pclog.txt with
 * backups in downbak, and clears the terminal: 0 complete, 1 failed. */
int32_t WPCLOG_CALL _DOWNLOAD(int32_t address, int32_t port);

/* The same over TCP port 1024, clearing with _LANDELETE. _LANDOWNLOAD writes
 * pclog.dat; _LANMANYDOWNLOAD "pclog" + terminal + ".dat"; _LANDOWNLOADADDR
 * pclog.dat with the given address byte in the frame. 0 complete, 1 failed. */
int32_t WPCLOG_CALL _LANDOWNLOAD(const char* ip);
int32_t WPCLOG_CALL _LANMANYDOWNLOAD(const char* ip, int32_t terminal);
int32_t WPCLOG_CALL _LANDOWNLOADADDR(const char* ip, int32_t address);

/* Through a dial-up modem on the port (9600 baud): AT commands, the dial of
 * number (1 to 32 characters, no control bytes), then the download into
 * pclog.dat and pclog.txt. The terminal is not cleared. 0 complete, 1 failed. */
int32_t WPCLOG_CALL _MODEMDOWNLOAD(int32_t address, int32_t port, const char* number);

/* Conversions. Reads directory + name + ".dat" and rewrites directory + name
 * + ".txt", keeping a dated copy of the text in directory + "downbak"; the
 * directory ends with a path separator. 0 done, 1 failed. _CONVERFILE takes
 * 6-byte clocking records, _CONVERXFFILE 17-byte consumption records. */
int32_t WPCLOG_CALL _CONVERFILE(const char* directory, const char* name);
int32_t WPCLOG_CALL _CONVERXFFILE(const char* directory, const char* name);

/* Clock, identity and line speed. The values are sent as the host gives
 * them (their low byte; a password as bits 8-15 then 0-7). 0 the terminal
 * acknowledged, 1 failed. */
int32_t WPCLOG_CALL _SETTIME(int32_t address, int32_t port, int32_t c1, int32_t c2, int32_t c3,
                             int32_t c4, int32_t c5, int32_t c6, int32_t c7);
int32_t WPCLOG_CALL _LANSETTIME(const char* ip, int32_t c1, int32_t c2, int32_t c3, int32_t c4,
                                int32_t c5, int32_t c6, int32_t c7);
int32_t WPCLOG_CALL _SETMACHINEID(int32_t address, int32_t port, int32_t machine);
int32_t WPCLOG_CALL _SETPASSWORD(int32_t address, int32_t port, int32_t password);
int32_t WPCLOG_CALL _LANANSWER(const char* ip, int32_t value);
/* The line speed, on the given port only (no address, no scan of ports):
 * the request is r1..r12 then `last`, tried at 57600, 38400, ... 1200 and
 * 57600 again. */
int32_t WPCLOG_CALL _SETBAUDRATE(int32_t port, int32_t last, int32_t r1, int32_t r2, int32_t r3,
                                 int32_t r4, int32_t r5, int32_t r6, int32_t r7, int32_t r8,
                                 int32_t r9, int32_t r10, int32_t r11, int32_t r12);

/* Users: all at once, or one person (0..65535). 0 acknowledged, 1 failed. */
int32_t WPCLOG_CALL _ENABLEALL(int32_t address, int32_t port);
int32_t WPCLOG_CALL _DISABLEALL(int32_t address, int32_t port);
int32_t WPCLOG_CALL _ENABLEPERSON(int32_t address, int32_t port, int32_t person);
int32_t WPCLOG_CALL _DISABLEPERSON(int32_t address, int32_t port, int32_t person);
int32_t WPCLOG_CALL _RESTORE(int32_t address, int32_t port);
int32_t WPCLOG_CALL _RESTOREALL(int32_t address, int32_t port);
int32_t WPCLOG_CALL _LANENABLEALL(const char* ip);
int32_t WPCLOG_CALL _LANDISABLEALL(const char* ip);
int32_t WPCLOG_CALL _LANENABLEPERSON(const char* ip, int32_t person);
int32_t WPCLOG_CALL _LANDISABLEPERSON(const char* ip, int32_t person);
int32_t WPCLOG_CALL _LANRESTOREALL(const char* ip);

/* Door and bell (low bytes sent). The serial open-or-closed flag 1 sends
 * 0x55, any other 0x00; the network form sends its value as it is. 0
 * acknowledged, 1 failed. */
int32_t WPCLOG_CALL _SETOPENMODE(int32_t address, int32_t port, int32_t value);
int32_t WPCLOG_CALL _LANSETOPENMODE(const char* ip, int32_t value);
int32_t WPCLOG_CALL _SETOPENTIME(int32_t address, int32_t port, int32_t value);
int32_t WPCLOG_CALL _LANSETOPENTIME(const char* ip, int32_t value);
int32_t WPCLOG_CALL _SETOPENCLOSE(int32_t address, int32_t port, int32_t flag);
int32_t WPCLOG_CALL _LANSETOPENCLOSE(const char* ip, int32_t value);
int32_t WPCLOG_CALL _SETBELL(int32_t address, int32_t port, int32_t first, int32_t second,
                             int32_t third);

/* Card numbers. SN and lock numbers are 16-bit (bits 8-15 sent first,
 * higher bits dropped); the mode and wait bytes their low byte. 0
 * acknowledged, 1 failed. _SETSN and _DELSN give the terminal 30 s to answer
 * the block. */
int32_t WPCLOG_CALL _SETSN(int32_t address, int32_t port, int32_t first, int32_t second);
int32_t WPCLOG_CALL _LANSETSN(const char* ip, int32_t first, int32_t second);
int32_t WPCLOG_CALL _DELSN(int32_t address, int32_t port, int32_t sn);
int32_t WPCLOG_CALL _LANDELSN(const char* ip, int32_t sn);
int32_t WPCLOG_CALL _SETSNORCARD(int32_t address, int32_t port, int32_t mode);
int32_t WPCLOG_CALL _SETCARDWAITTIME(int32_t address, int32_t port, int32_t wait);
int32_t WPCLOG_CALL _SETLOCKNUM(int32_t address, int32_t port, int32_t lock);
int32_t WPCLOG_CALL _DELLOCKNUM(int32_t address, int32_t port);
/* The SN queries: the terminal's 16-bit value, or 65535 on any failure (a
 * true value of 65535 reads as a failure). */
int32_t WPCLOG_CALL _WHATSN(int32_t address, int32_t port, int32_t sn);
int32_t WPCLOG_CALL _GETSNLENTH(int32_t address, int32_t port);

/* The real-time fetch: the one record the terminal holds ready, as the text
 * number(6) year(4) month(2) day(2) hour(2) minute(2) tag(2, 3 from 100),
 * or "00000000000000000000" for no record and any failure. The text lives in
 * the library, one buffer per export and per thread, valid until the same
 * thread's next call of the same export; the host does not free it. */
const char* WPCLOG_CALL _REALDOWNLOAD(int32_t address, int32_t port);
const char* WPCLOG_CALL _LANREALDOWNLOAD(const char* ip);
/* Names, keyed by person number (0..65535, high byte first on the wire). The
 * name of _SENDNAME is zero-terminated; those of _LANSENDNAME and _COPYNAME
 * are counted texts: the length (32 bits) in the 4 bytes before the first
 * character, a reference count in the 4 before those, raised for the call
 * unless it is -1; a null pointer is the empty text. A name is sent whole,
 * at most 253 bytes (longer: 1, nothing sent). _COPYNAME appends person and
 * the name's first 8 bytes to prefix + "NAM" + MMDD + ".DAT". 0 done, 1
 * failed. */
int32_t WPCLOG_CALL _SENDNAME(int32_t address, int32_t port, int32_t person, const char* name);
int32_t WPCLOG_CALL _LANSENDNAME(const char* ip, int32_t person, WPCLOG_COUNTED const char* name);
int32_t WPCLOG_CALL _CHANGENAMEID(int32_t address, int32_t port, int32_t first, int32_t second);
int32_t WPCLOG_CALL _LANCHANGENAMEID(const char* ip, int32_t first, int32_t second);
int32_t WPCLOG_CALL _DELETEALLNAME(int32_t address, int32_t port);
int32_t WPCLOG_CALL _LANDELETEALLNAME(const char* ip);
int32_t WPCLOG_CALL _COPYNAME(const char* prefix, int32_t person, WPCLOG_COUNTED const char* name);

/* Voice prompts: thirteen values (2, 3 and 5 sent as 16-bit numbers, the
 * others by their low byte) and a counted text of at most 99 bytes. Voice
 * number 0 deletes every entry. 0 done, 1 failed; _LANSENDVOICE returns the
 * terminal's greeting number, 0 on failure. */
int32_t WPCLOG_CALL _SENDVOICE(int32_t address, int32_t port, int32_t v1, int32_t v2, int32_t v3,
                               int32_t v4, int32_t v5, int32_t v6, int32_t v7, int32_t v8,
                               int32_t v9, int32_t v10, int32_t v11, int32_t v12, int32_t v13,
                               WPCLOG_COUNTED const char* text);
int32_t WPCLOG_CALL _DELVOICE(int32_t address, int32_t port, int32_t voice);
int32_t WPCLOG_CALL _DELALLVOICE(int32_t address, int32_t port);
int32_t WPCLOG_CALL _LANSENDVOICE(const char* ip, int32_t v1, int32_t v2, int32_t v3, int32_t v4,
                                  int32_t v5, int32_t v6, int32_t v7, int32_t v8, int32_t v9,
                                  int32_t v10, int32_t v11, int32_t v12, int32_t v13,
                                  WPCLOG_COUNTED const char* text);
int32_t WPCLOG_CALL _LANDELVOICE(const char* ip, int32_t voice);
int32_t WPCLOG_CALL _LANDELALLVOICE(const char* ip);

/* The card-only list: persons who clock with their card alone. 0
 * acknowledged, 1 failed. */
int32_t WPCLOG_CALL _SENDONLYCARD(int32_t address, int32_t port, int32_t person);
int32_t WPCLOG_CALL _DELONLYCARD(int32_t address, int32_t port, int32_t person);
int32_t WPCLOG_CALL _DELALLONLYCARD(int32_t address, int32_t port);
/* Fingerprint module. Each returns the status byte of the module's reply
 * (0-255; what it means is the module's), or 255 when the exchange failed.
 * _FDATXDATA and _GETFDAVER talk to a module on the port directly (9600
 * baud; the port and the five after it are tried once each): any command
 * with four 16-bit parameters (low 16 bits used), and the version. */
int32_t WPCLOG_CALL _FDATXDATA(int32_t port, int32_t command, int32_t p1, int32_t p2, int32_t p3,
                               int32_t p4);
int32_t WPCLOG_CALL _GETFDAVER(int32_t port);

/* Templates by user ID through the terminal's pass-through, with files in
 * FINGERREC beside the data files: IDLIST.TXT, and FP + ID to 4 digits + "_"
 * + template number + ".TXT" (816 bytes). user 0-2047, attribute 0-15 (low
 * byte), template number 1 or 2: anything else gives 255 with no file or port
 * touched. _SENDIDFPREC ignores its fourth argument; _DELIDFPALL returns 0
 * on success. */
int32_t WPCLOG_CALL _GETIDLIST(int32_t address, int32_t port);
int32_t WPCLOG_CALL _SENDIDFPREC(int32_t address, int32_t port, int32_t user, int32_t ignored,
                                 int32_t number);
int32_t WPCLOG_CALL _GETIDFPREC(int32_t address, int32_t port, int32_t user, int32_t attribute,
                                int32_t number);
int32_t WPCLOG_CALL _DELIDFPREC(int32_t address, int32_t port, int32_t user, int32_t attribute,
                                int32_t number);
int32_t WPCLOG_CALL _DELIDFPALL(int32_t address, int32_t port);

/* Fingerprint backup. 0 done, 1 failed. _ZWBACKUP puts the terminal into
 * backup mode (command 0x0E with the mode byte, then the terminal's second
 * ACK within 60 s). _RXZWFILE receives the module's backup at 19200 baud,
 * two stop bits, into zwbak.txt beside the data files; it receives into
 * zwbak.new and puts that in the place of zwbak.txt only when the whole
 * backup has arrived, so a failed receive leaves zwbak.txt as it was.
 * _TXZWFILE sends zwbak.txt back to the module. Both try the given port and
 * the five after it once each. */
int32_t WPCLOG_CALL _ZWBACKUP(int32_t address, int32_t port, int32_t mode);
int32_t WPCLOG_CALL _RXZWFILE(int32_t port);
int32_t WPCLOG_CALL _TXZWFILE(int32_t port);

#ifdef __cplusplus
}
#endif

#endif /* W_PCLOG_H */
