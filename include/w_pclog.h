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

/* Conversions. Reads directory + name + ".dat" and rewrites directory + name
 * + ".txt", keeping a dated copy of the text in directory + "downbak"; the
 * directory ends with a path separator. 0 done, 1 failed. _CONVERFILE takes
 * 6-byte clocking records, _CONVERXFFILE 17-byte consumption records. */
int32_t WPCLOG_CALL _CONVERFILE(const char* directory, const char* name);
int32_t WPCLOG_CALL _CONVERXFFILE(const char* directory, const char* name);

#ifdef __cplusplus
}
#endif

#endif /* W_PCLOG_H */
