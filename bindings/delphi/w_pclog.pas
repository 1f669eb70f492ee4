{ Generated from include/w_pclog.h by tools/bindings_from_header.py: do not edit. }
{ Run `make bindings` after changing the header. }
{ The exports of w_pclog for Delphi and Free Pascal (-Mdelphi). On
  Windows they are stdcall functions of w_pclog.dll (the 32-bit DLL for a
  32-bit program, the 64-bit one for a 64-bit program); elsewhere C
  functions of libw_pclog.so.

  Counted texts. The arguments marked 'counted text' read the length
  and reference count stored before the first character. Delphi's
  AnsiString has that layout (32-bit count and length, also in 64-bit
  programs): pass PAnsiChar(Pointer(S)) of an AnsiString S; Pointer(S)
  is nil for an empty string, which the library takes as the empty
  text, where PAnsiChar(S) would point at a constant without the
  fields. Free Pascal's AnsiString keeps 64-bit fields on 64-bit
  targets, so there use NewCountedText and FreeCountedText, which lay a
  text out as the library reads it under every compiler. }
unit w_pclog;

interface

const
  WPCLOG_LIB = {$IFDEF MSWINDOWS}'w_pclog.dll'{$ELSE}'libw_pclog.so'{$ENDIF};

{ A counted text of S (its bytes as they are), to pass where a counted
  text is asked for; FreeCountedText releases it after the call. }
function NewCountedText(const S: AnsiString): PAnsiChar;
procedure FreeCountedText(P: PAnsiChar);

{ Serial basics. Address: terminal number (low byte sent); port: 1..6, the port the scan
  starts from. 0 done, 1 failed }
function _DELETE(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELETE';

{ See _DELETE. port number or -1 }
function _TESTCOM(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_TESTCOM';

{ Network basics. ip: the terminal's IPv4 address as dotted-decimal text; the terminal
  listens on TCP port 1024. 0 frame sent, 1 failed }
function _LANDELETE(ip: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDELETE';

{ Downloads every record into pclog.dat, converts it to pclog.txt with backups in downbak,
  and clears the terminal: 0 complete, 1 failed. }
function _DOWNLOAD(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DOWNLOAD';

{ The same over TCP port 1024, clearing with _LANDELETE. _LANDOWNLOAD writes pclog.dat;
  _LANMANYDOWNLOAD "pclog" + terminal + ".dat"; _LANDOWNLOADADDR pclog.dat with the given
  address byte in the frame. 0 complete, 1 failed. }
function _LANDOWNLOAD(ip: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDOWNLOAD';

{ See _LANDOWNLOAD. }
function _LANMANYDOWNLOAD(ip: PAnsiChar; terminal: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANMANYDOWNLOAD';

{ See _LANDOWNLOAD. }
function _LANDOWNLOADADDR(ip: PAnsiChar; address: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDOWNLOADADDR';

{ Through a dial-up modem on the port (9600 baud): AT commands, the dial of number (1 to
  32 characters, no control bytes), then the download into pclog.dat and pclog.txt. The
  terminal is not cleared. 0 complete, 1 failed. }
function _MODEMDOWNLOAD(address: Integer; port: Integer; number: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_MODEMDOWNLOAD';

{ Conversions. Reads directory + name + ".dat" and rewrites directory + name + ".txt",
  keeping a dated copy of the text in directory + "downbak"; the directory ends with a
  path separator. 0 done, 1 failed. _CONVERFILE takes 6-byte clocking records,
  _CONVERXFFILE 17-byte consumption records. }
function _CONVERFILE(directory: PAnsiChar; name: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_CONVERFILE';

{ See _CONVERFILE. }
function _CONVERXFFILE(directory: PAnsiChar; name: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_CONVERXFFILE';

{ Clock, identity and line speed. The values are sent as the host gives them (their low
  byte; a password as bits 8-15 then 0-7). 0 the terminal acknowledged, 1 failed. }
function _SETTIME(address: Integer; port: Integer; c1: Integer; c2: Integer; c3: Integer; c4: Integer; c5: Integer; c6: Integer; c7: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETTIME';

{ See _SETTIME. }
function _LANSETTIME(ip: PAnsiChar; c1: Integer; c2: Integer; c3: Integer; c4: Integer; c5: Integer; c6: Integer; c7: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANSETTIME';

{ See _SETTIME. }
function _SETMACHINEID(address: Integer; port: Integer; machine: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETMACHINEID';

{ See _SETTIME. }
function _SETPASSWORD(address: Integer; port: Integer; password: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETPASSWORD';

{ See _SETTIME. }
function _LANANSWER(ip: PAnsiChar; value: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANANSWER';

{ The line speed, on the given port only (no address, no scan of ports): the request is
  r1..r12 then `last`, tried at 57600, 38400, ... 1200 and 57600 again. }
function _SETBAUDRATE(port: Integer; last: Integer; r1: Integer; r2: Integer; r3: Integer; r4: Integer; r5: Integer; r6: Integer; r7: Integer; r8: Integer; r9: Integer; r10: Integer; r11: Integer; r12: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETBAUDRATE';

{ Users: all at once, or one person (0..65535). 0 acknowledged, 1 failed. }
function _ENABLEALL(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_ENABLEALL';

{ See _ENABLEALL. }
function _DISABLEALL(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DISABLEALL';

{ See _ENABLEALL. }
function _ENABLEPERSON(address: Integer; port: Integer; person: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_ENABLEPERSON';

{ See _ENABLEALL. }
function _DISABLEPERSON(address: Integer; port: Integer; person: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DISABLEPERSON';

{ See _ENABLEALL. }
function _RESTORE(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_RESTORE';

{ See _ENABLEALL. }
function _RESTOREALL(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_RESTOREALL';

{ See _ENABLEALL. }
function _LANENABLEALL(ip: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANENABLEALL';

{ See _ENABLEALL. }
function _LANDISABLEALL(ip: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDISABLEALL';

{ See _ENABLEALL. }
function _LANENABLEPERSON(ip: PAnsiChar; person: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANENABLEPERSON';

{ See _ENABLEALL. }
function _LANDISABLEPERSON(ip: PAnsiChar; person: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDISABLEPERSON';

{ See _ENABLEALL. }
function _LANRESTOREALL(ip: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANRESTOREALL';

{ Door and bell (low bytes sent). The serial open-or-closed flag 1 sends 0x55, any other
  0x00; the network form sends its value as it is. 0 acknowledged, 1 failed. }
function _SETOPENMODE(address: Integer; port: Integer; value: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETOPENMODE';

{ See _SETOPENMODE. }
function _LANSETOPENMODE(ip: PAnsiChar; value: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANSETOPENMODE';

{ See _SETOPENMODE. }
function _SETOPENTIME(address: Integer; port: Integer; value: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETOPENTIME';

{ See _SETOPENMODE. }
function _LANSETOPENTIME(ip: PAnsiChar; value: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANSETOPENTIME';

{ See _SETOPENMODE. }
function _SETOPENCLOSE(address: Integer; port: Integer; flag: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETOPENCLOSE';

{ See _SETOPENMODE. }
function _LANSETOPENCLOSE(ip: PAnsiChar; value: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANSETOPENCLOSE';

{ See _SETOPENMODE. }
function _SETBELL(address: Integer; port: Integer; first: Integer; second: Integer; third: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETBELL';

{ Card numbers. SN and lock numbers are 16-bit (bits 8-15 sent first, higher bits
  dropped); the mode and wait bytes their low byte. 0 acknowledged, 1 failed. _SETSN and
  _DELSN give the terminal 30 s to answer the block. }
function _SETSN(address: Integer; port: Integer; first: Integer; second: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETSN';

{ See _SETSN. }
function _LANSETSN(ip: PAnsiChar; first: Integer; second: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANSETSN';

{ See _SETSN. }
function _DELSN(address: Integer; port: Integer; sn: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELSN';

{ See _SETSN. }
function _LANDELSN(ip: PAnsiChar; sn: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDELSN';

{ See _SETSN. }
function _SETSNORCARD(address: Integer; port: Integer; mode: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETSNORCARD';

{ See _SETSN. }
function _SETCARDWAITTIME(address: Integer; port: Integer; wait: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETCARDWAITTIME';

{ See _SETSN. }
function _SETLOCKNUM(address: Integer; port: Integer; lock: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SETLOCKNUM';

{ See _SETSN. }
function _DELLOCKNUM(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELLOCKNUM';

{ The SN queries: the terminal's 16-bit value, or 65535 on any failure (a true value of
  65535 reads as a failure). }
function _WHATSN(address: Integer; port: Integer; sn: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_WHATSN';

{ See _WHATSN. }
function _GETSNLENTH(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_GETSNLENTH';

{ The real-time fetch: the one record the terminal holds ready, as the text number(6)
  year(4) month(2) day(2) hour(2) minute(2) tag(2, 3 from 100), or "00000000000000000000"
  for no record and any failure. The text lives in the library, one buffer per export and
  per thread, valid until the same thread's next call of the same export; the host does
  not free it. }
function _REALDOWNLOAD(address: Integer; port: Integer): PAnsiChar; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_REALDOWNLOAD';

{ See _REALDOWNLOAD. }
function _LANREALDOWNLOAD(ip: PAnsiChar): PAnsiChar; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANREALDOWNLOAD';

{ Names, keyed by person number (0..65535, high byte first on the wire). The name of
  _SENDNAME is zero-terminated; those of _LANSENDNAME and _COPYNAME are counted texts: the
  length (32 bits) in the 4 bytes before the first character, a reference count in the 4
  before those, raised for the call unless it is -1; a null pointer is the empty text. A
  name is sent whole, at most 253 bytes (longer: 1, nothing sent). _COPYNAME appends
  person and the name's first 8 bytes to prefix + "NAM" + MMDD + ".DAT". 0 done, 1 failed. }
function _SENDNAME(address: Integer; port: Integer; person: Integer; name: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SENDNAME';

{ See _SENDNAME. Counted text: name. }
function _LANSENDNAME(ip: PAnsiChar; person: Integer; name: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANSENDNAME';

{ See _SENDNAME. }
function _CHANGENAMEID(address: Integer; port: Integer; first: Integer; second: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_CHANGENAMEID';

{ See _SENDNAME. }
function _LANCHANGENAMEID(ip: PAnsiChar; first: Integer; second: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANCHANGENAMEID';

{ See _SENDNAME. }
function _DELETEALLNAME(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELETEALLNAME';

{ See _SENDNAME. }
function _LANDELETEALLNAME(ip: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDELETEALLNAME';

{ See _SENDNAME. Counted text: name. }
function _COPYNAME(prefix: PAnsiChar; person: Integer; name: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_COPYNAME';

{ Voice prompts: thirteen values (2, 3 and 5 sent as 16-bit numbers, the others by their
  low byte) and a counted text of at most 99 bytes. Voice number 0 deletes every entry. 0
  done, 1 failed; _LANSENDVOICE returns the terminal's greeting number, 0 on failure.
  Counted text: text. }
function _SENDVOICE(address: Integer; port: Integer; v1: Integer; v2: Integer; v3: Integer; v4: Integer; v5: Integer; v6: Integer; v7: Integer; v8: Integer; v9: Integer; v10: Integer; v11: Integer; v12: Integer; v13: Integer; text: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SENDVOICE';

{ See _SENDVOICE. }
function _DELVOICE(address: Integer; port: Integer; voice: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELVOICE';

{ See _SENDVOICE. }
function _DELALLVOICE(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELALLVOICE';

{ See _SENDVOICE. Counted text: text. }
function _LANSENDVOICE(ip: PAnsiChar; v1: Integer; v2: Integer; v3: Integer; v4: Integer; v5: Integer; v6: Integer; v7: Integer; v8: Integer; v9: Integer; v10: Integer; v11: Integer; v12: Integer; v13: Integer; text: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANSENDVOICE';

{ See _SENDVOICE. }
function _LANDELVOICE(ip: PAnsiChar; voice: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDELVOICE';

{ See _SENDVOICE. }
function _LANDELALLVOICE(ip: PAnsiChar): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_LANDELALLVOICE';

{ The card-only list: persons who clock with their card alone. 0 acknowledged, 1 failed. }
function _SENDONLYCARD(address: Integer; port: Integer; person: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SENDONLYCARD';

{ See _SENDONLYCARD. }
function _DELONLYCARD(address: Integer; port: Integer; person: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELONLYCARD';

{ See _SENDONLYCARD. }
function _DELALLONLYCARD(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELALLONLYCARD';

{ Fingerprint module. Each returns the status byte of the module's reply (0-255; what it
  means is the module's), or 255 when the exchange failed. _FDATXDATA and _GETFDAVER talk
  to a module on the port directly (9600 baud; the port and the five after it are tried
  once each): any command with four 16-bit parameters (low 16 bits used), and the version. }
function _FDATXDATA(port: Integer; command: Integer; p1: Integer; p2: Integer; p3: Integer; p4: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_FDATXDATA';

{ See _FDATXDATA. }
function _GETFDAVER(port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_GETFDAVER';

{ Templates by user ID through the terminal's pass-through, with files in FINGERREC beside
  the data files: IDLIST.TXT, and FP + ID to 4 digits + "_" + template number + ".TXT"
  (816 bytes). user 0-2047, attribute 0-15 (low byte), template number 1 or 2: anything
  else gives 255 with no file or port touched. _SENDIDFPREC ignores its fourth argument;
  _DELIDFPALL returns 0 on success. }
function _GETIDLIST(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_GETIDLIST';

{ See _GETIDLIST. }
function _SENDIDFPREC(address: Integer; port: Integer; user: Integer; ignored: Integer; number: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_SENDIDFPREC';

{ See _GETIDLIST. }
function _GETIDFPREC(address: Integer; port: Integer; user: Integer; attribute: Integer; number: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_GETIDFPREC';

{ See _GETIDLIST. }
function _DELIDFPREC(address: Integer; port: Integer; user: Integer; attribute: Integer; number: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELIDFPREC';

{ See _GETIDLIST. }
function _DELIDFPALL(address: Integer; port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_DELIDFPALL';

{ Fingerprint backup. 0 done, 1 failed. _ZWBACKUP puts the terminal into backup mode
  (command 0x0E with the mode byte, then the terminal's second ACK within 60 s). _RXZWFILE
  receives the module's backup at 19200 baud, two stop bits, into zwbak.txt beside the
  data files; it receives into zwbak.new and puts that in the place of zwbak.txt only when
  the whole backup has arrived, so a failed receive leaves zwbak.txt as it was. _TXZWFILE
  sends zwbak.txt back to the module. Both try the given port and the five after it once
  each. }
function _ZWBACKUP(address: Integer; port: Integer; mode: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_ZWBACKUP';

{ See _ZWBACKUP. }
function _RXZWFILE(port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_RXZWFILE';

{ See _ZWBACKUP. }
function _TXZWFILE(port: Integer): Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external WPCLOG_LIB name '_TXZWFILE';

implementation

type
  PCountedHead = ^TCountedHead;
  TCountedHead = packed record
    RefCount: Longint;
    Length: Longint;
  end;

function NewCountedText(const S: AnsiString): PAnsiChar;
var
  Head: PCountedHead;
begin
  GetMem(Head, SizeOf(TCountedHead) + Length(S) + 1);
  Head^.RefCount := 1;
  Head^.Length := Length(S);
  Result := PAnsiChar(Head) + SizeOf(TCountedHead);
  if Length(S) > 0 then
    Move(S[1], Result^, Length(S));
  Result[Length(S)] := #0;
end;

procedure FreeCountedText(P: PAnsiChar);
begin
  if P <> nil then
    FreeMem(P - SizeOf(TCountedHead));
end;

end.
