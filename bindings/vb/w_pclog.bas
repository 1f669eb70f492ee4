Attribute VB_Name = "w_pclog"
' Generated from include/w_pclog.h by tools/bindings_from_header.py: do not edit.
' Run `make bindings` after changing the header.
' The exports of w_pclog.dll for VB6 and VBA: each export _NAME is the
' function WPCLOG_NAME. 64-bit Office (VBA7) loads the 64-bit DLL, VB6
' and 32-bit Office the 32-bit one. Texts are passed as ANSI strings;
' a counted-text argument takes CountedTextPointer of a buffer made by
' MakeCountedText (VB's own strings have no reference count before
' them); the two text results are read with WpclogText.
Option Explicit

#If VBA7 Then
Private Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal p As LongPtr) As Long
Private Declare PtrSafe Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (destination As Any, source As Any, ByVal length As LongPtr)
#Else
Private Declare Function lstrlenA Lib "kernel32" (ByVal p As Long) As Long
Private Declare Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (destination As Any, source As Any, ByVal length As Long)
#End If

' Serial basics. Address: terminal number (low byte sent); port: 1..6, the port the scan
' starts from. 0 done, 1 failed
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELETE Lib "w_pclog.dll" Alias "_DELETE" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DELETE Lib "w_pclog.dll" Alias "_DELETE" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _DELETE. port number or -1
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_TESTCOM Lib "w_pclog.dll" Alias "_TESTCOM" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_TESTCOM Lib "w_pclog.dll" Alias "_TESTCOM" (ByVal address As Long, ByVal port As Long) As Long
#End If

' Network basics. ip: the terminal's IPv4 address as dotted-decimal text; the terminal
' listens on TCP port 1024. 0 frame sent, 1 failed
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDELETE Lib "w_pclog.dll" Alias "_LANDELETE" (ByVal ip As String) As Long
#Else
Public Declare Function WPCLOG_LANDELETE Lib "w_pclog.dll" Alias "_LANDELETE" (ByVal ip As String) As Long
#End If

' Downloads every record into pclog.dat, converts it to pclog.txt with backups in downbak,
' and clears the terminal: 0 complete, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DOWNLOAD Lib "w_pclog.dll" Alias "_DOWNLOAD" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DOWNLOAD Lib "w_pclog.dll" Alias "_DOWNLOAD" (ByVal address As Long, ByVal port As Long) As Long
#End If

' The same over TCP port 1024, clearing with _LANDELETE. _LANDOWNLOAD writes pclog.dat;
' _LANMANYDOWNLOAD "pclog" + terminal + ".dat"; _LANDOWNLOADADDR pclog.dat with the given
' address byte in the frame. 0 complete, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDOWNLOAD Lib "w_pclog.dll" Alias "_LANDOWNLOAD" (ByVal ip As String) As Long
#Else
Public Declare Function WPCLOG_LANDOWNLOAD Lib "w_pclog.dll" Alias "_LANDOWNLOAD" (ByVal ip As String) As Long
#End If

' See _LANDOWNLOAD.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANMANYDOWNLOAD Lib "w_pclog.dll" Alias "_LANMANYDOWNLOAD" (ByVal ip As String, ByVal terminal As Long) As Long
#Else
Public Declare Function WPCLOG_LANMANYDOWNLOAD Lib "w_pclog.dll" Alias "_LANMANYDOWNLOAD" (ByVal ip As String, ByVal terminal As Long) As Long
#End If

' See _LANDOWNLOAD.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDOWNLOADADDR Lib "w_pclog.dll" Alias "_LANDOWNLOADADDR" (ByVal ip As String, ByVal address As Long) As Long
#Else
Public Declare Function WPCLOG_LANDOWNLOADADDR Lib "w_pclog.dll" Alias "_LANDOWNLOADADDR" (ByVal ip As String, ByVal address As Long) As Long
#End If

' Through a dial-up modem on the port (9600 baud): AT commands, the dial of number (1 to
' 32 characters, no control bytes), then the download into pclog.dat and pclog.txt. The
' terminal is not cleared. 0 complete, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_MODEMDOWNLOAD Lib "w_pclog.dll" Alias "_MODEMDOWNLOAD" (ByVal address As Long, ByVal port As Long, ByVal number As String) As Long
#Else
Public Declare Function WPCLOG_MODEMDOWNLOAD Lib "w_pclog.dll" Alias "_MODEMDOWNLOAD" (ByVal address As Long, ByVal port As Long, ByVal number As String) As Long
#End If

' Conversions. Reads directory + name + ".dat" and rewrites directory + name + ".txt",
' keeping a dated copy of the text in directory + "downbak"; the directory ends with a
' path separator. 0 done, 1 failed. _CONVERFILE takes 6-byte clocking records,
' _CONVERXFFILE 17-byte consumption records.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_CONVERFILE Lib "w_pclog.dll" Alias "_CONVERFILE" (ByVal directory As String, ByVal nameArg As String) As Long
#Else
Public Declare Function WPCLOG_CONVERFILE Lib "w_pclog.dll" Alias "_CONVERFILE" (ByVal directory As String, ByVal nameArg As String) As Long
#End If

' See _CONVERFILE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_CONVERXFFILE Lib "w_pclog.dll" Alias "_CONVERXFFILE" (ByVal directory As String, ByVal nameArg As String) As Long
#Else
Public Declare Function WPCLOG_CONVERXFFILE Lib "w_pclog.dll" Alias "_CONVERXFFILE" (ByVal directory As String, ByVal nameArg As String) As Long
#End If

' Clock, identity and line speed. The values are sent as the host gives them (their low
' byte; a password as bits 8-15 then 0-7). 0 the terminal acknowledged, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETTIME Lib "w_pclog.dll" Alias "_SETTIME" (ByVal address As Long, ByVal port As Long, ByVal c1 As Long, ByVal c2 As Long, ByVal c3 As Long, ByVal c4 As Long, ByVal c5 As Long, ByVal c6 As Long, ByVal c7 As Long) As Long
#Else
Public Declare Function WPCLOG_SETTIME Lib "w_pclog.dll" Alias "_SETTIME" (ByVal address As Long, ByVal port As Long, ByVal c1 As Long, ByVal c2 As Long, ByVal c3 As Long, ByVal c4 As Long, ByVal c5 As Long, ByVal c6 As Long, ByVal c7 As Long) As Long
#End If

' See _SETTIME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANSETTIME Lib "w_pclog.dll" Alias "_LANSETTIME" (ByVal ip As String, ByVal c1 As Long, ByVal c2 As Long, ByVal c3 As Long, ByVal c4 As Long, ByVal c5 As Long, ByVal c6 As Long, ByVal c7 As Long) As Long
#Else
Public Declare Function WPCLOG_LANSETTIME Lib "w_pclog.dll" Alias "_LANSETTIME" (ByVal ip As String, ByVal c1 As Long, ByVal c2 As Long, ByVal c3 As Long, ByVal c4 As Long, ByVal c5 As Long, ByVal c6 As Long, ByVal c7 As Long) As Long
#End If

' See _SETTIME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETMACHINEID Lib "w_pclog.dll" Alias "_SETMACHINEID" (ByVal address As Long, ByVal port As Long, ByVal machine As Long) As Long
#Else
Public Declare Function WPCLOG_SETMACHINEID Lib "w_pclog.dll" Alias "_SETMACHINEID" (ByVal address As Long, ByVal port As Long, ByVal machine As Long) As Long
#End If

' See _SETTIME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETPASSWORD Lib "w_pclog.dll" Alias "_SETPASSWORD" (ByVal address As Long, ByVal port As Long, ByVal password As Long) As Long
#Else
Public Declare Function WPCLOG_SETPASSWORD Lib "w_pclog.dll" Alias "_SETPASSWORD" (ByVal address As Long, ByVal port As Long, ByVal password As Long) As Long
#End If

' See _SETTIME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANANSWER Lib "w_pclog.dll" Alias "_LANANSWER" (ByVal ip As String, ByVal value As Long) As Long
#Else
Public Declare Function WPCLOG_LANANSWER Lib "w_pclog.dll" Alias "_LANANSWER" (ByVal ip As String, ByVal value As Long) As Long
#End If

' The line speed, on the given port only (no address, no scan of ports): the request is
' r1..r12 then `last`, tried at 57600, 38400, ... 1200 and 57600 again.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETBAUDRATE Lib "w_pclog.dll" Alias "_SETBAUDRATE" (ByVal port As Long, ByVal last As Long, ByVal r1 As Long, ByVal r2 As Long, ByVal r3 As Long, ByVal r4 As Long, ByVal r5 As Long, ByVal r6 As Long, ByVal r7 As Long, ByVal r8 As Long, ByVal r9 As Long, ByVal r10 As Long, ByVal r11 As Long, ByVal r12 As Long) As Long
#Else
Public Declare Function WPCLOG_SETBAUDRATE Lib "w_pclog.dll" Alias "_SETBAUDRATE" (ByVal port As Long, ByVal last As Long, ByVal r1 As Long, ByVal r2 As Long, ByVal r3 As Long, ByVal r4 As Long, ByVal r5 As Long, ByVal r6 As Long, ByVal r7 As Long, ByVal r8 As Long, ByVal r9 As Long, ByVal r10 As Long, ByVal r11 As Long, ByVal r12 As Long) As Long
#End If

' Users: all at once, or one person (0..65535). 0 acknowledged, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_ENABLEALL Lib "w_pclog.dll" Alias "_ENABLEALL" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_ENABLEALL Lib "w_pclog.dll" Alias "_ENABLEALL" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DISABLEALL Lib "w_pclog.dll" Alias "_DISABLEALL" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DISABLEALL Lib "w_pclog.dll" Alias "_DISABLEALL" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_ENABLEPERSON Lib "w_pclog.dll" Alias "_ENABLEPERSON" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#Else
Public Declare Function WPCLOG_ENABLEPERSON Lib "w_pclog.dll" Alias "_ENABLEPERSON" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DISABLEPERSON Lib "w_pclog.dll" Alias "_DISABLEPERSON" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#Else
Public Declare Function WPCLOG_DISABLEPERSON Lib "w_pclog.dll" Alias "_DISABLEPERSON" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_RESTORE Lib "w_pclog.dll" Alias "_RESTORE" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_RESTORE Lib "w_pclog.dll" Alias "_RESTORE" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_RESTOREALL Lib "w_pclog.dll" Alias "_RESTOREALL" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_RESTOREALL Lib "w_pclog.dll" Alias "_RESTOREALL" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANENABLEALL Lib "w_pclog.dll" Alias "_LANENABLEALL" (ByVal ip As String) As Long
#Else
Public Declare Function WPCLOG_LANENABLEALL Lib "w_pclog.dll" Alias "_LANENABLEALL" (ByVal ip As String) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDISABLEALL Lib "w_pclog.dll" Alias "_LANDISABLEALL" (ByVal ip As String) As Long
#Else
Public Declare Function WPCLOG_LANDISABLEALL Lib "w_pclog.dll" Alias "_LANDISABLEALL" (ByVal ip As String) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANENABLEPERSON Lib "w_pclog.dll" Alias "_LANENABLEPERSON" (ByVal ip As String, ByVal person As Long) As Long
#Else
Public Declare Function WPCLOG_LANENABLEPERSON Lib "w_pclog.dll" Alias "_LANENABLEPERSON" (ByVal ip As String, ByVal person As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDISABLEPERSON Lib "w_pclog.dll" Alias "_LANDISABLEPERSON" (ByVal ip As String, ByVal person As Long) As Long
#Else
Public Declare Function WPCLOG_LANDISABLEPERSON Lib "w_pclog.dll" Alias "_LANDISABLEPERSON" (ByVal ip As String, ByVal person As Long) As Long
#End If

' See _ENABLEALL.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANRESTOREALL Lib "w_pclog.dll" Alias "_LANRESTOREALL" (ByVal ip As String) As Long
#Else
Public Declare Function WPCLOG_LANRESTOREALL Lib "w_pclog.dll" Alias "_LANRESTOREALL" (ByVal ip As String) As Long
#End If

' Door and bell (low bytes sent). The serial open-or-closed flag 1 sends 0x55, any other
' 0x00; the network form sends its value as it is. 0 acknowledged, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETOPENMODE Lib "w_pclog.dll" Alias "_SETOPENMODE" (ByVal address As Long, ByVal port As Long, ByVal value As Long) As Long
#Else
Public Declare Function WPCLOG_SETOPENMODE Lib "w_pclog.dll" Alias "_SETOPENMODE" (ByVal address As Long, ByVal port As Long, ByVal value As Long) As Long
#End If

' See _SETOPENMODE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANSETOPENMODE Lib "w_pclog.dll" Alias "_LANSETOPENMODE" (ByVal ip As String, ByVal value As Long) As Long
#Else
Public Declare Function WPCLOG_LANSETOPENMODE Lib "w_pclog.dll" Alias "_LANSETOPENMODE" (ByVal ip As String, ByVal value As Long) As Long
#End If

' See _SETOPENMODE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETOPENTIME Lib "w_pclog.dll" Alias "_SETOPENTIME" (ByVal address As Long, ByVal port As Long, ByVal value As Long) As Long
#Else
Public Declare Function WPCLOG_SETOPENTIME Lib "w_pclog.dll" Alias "_SETOPENTIME" (ByVal address As Long, ByVal port As Long, ByVal value As Long) As Long
#End If

' See _SETOPENMODE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANSETOPENTIME Lib "w_pclog.dll" Alias "_LANSETOPENTIME" (ByVal ip As String, ByVal value As Long) As Long
#Else
Public Declare Function WPCLOG_LANSETOPENTIME Lib "w_pclog.dll" Alias "_LANSETOPENTIME" (ByVal ip As String, ByVal value As Long) As Long
#End If

' See _SETOPENMODE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETOPENCLOSE Lib "w_pclog.dll" Alias "_SETOPENCLOSE" (ByVal address As Long, ByVal port As Long, ByVal flag As Long) As Long
#Else
Public Declare Function WPCLOG_SETOPENCLOSE Lib "w_pclog.dll" Alias "_SETOPENCLOSE" (ByVal address As Long, ByVal port As Long, ByVal flag As Long) As Long
#End If

' See _SETOPENMODE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANSETOPENCLOSE Lib "w_pclog.dll" Alias "_LANSETOPENCLOSE" (ByVal ip As String, ByVal value As Long) As Long
#Else
Public Declare Function WPCLOG_LANSETOPENCLOSE Lib "w_pclog.dll" Alias "_LANSETOPENCLOSE" (ByVal ip As String, ByVal value As Long) As Long
#End If

' See _SETOPENMODE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETBELL Lib "w_pclog.dll" Alias "_SETBELL" (ByVal address As Long, ByVal port As Long, ByVal first As Long, ByVal second As Long, ByVal third As Long) As Long
#Else
Public Declare Function WPCLOG_SETBELL Lib "w_pclog.dll" Alias "_SETBELL" (ByVal address As Long, ByVal port As Long, ByVal first As Long, ByVal second As Long, ByVal third As Long) As Long
#End If

' Card numbers. SN and lock numbers are 16-bit (bits 8-15 sent first, higher bits
' dropped); the mode and wait bytes their low byte. 0 acknowledged, 1 failed. _SETSN and
' _DELSN give the terminal 30 s to answer the block.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETSN Lib "w_pclog.dll" Alias "_SETSN" (ByVal address As Long, ByVal port As Long, ByVal first As Long, ByVal second As Long) As Long
#Else
Public Declare Function WPCLOG_SETSN Lib "w_pclog.dll" Alias "_SETSN" (ByVal address As Long, ByVal port As Long, ByVal first As Long, ByVal second As Long) As Long
#End If

' See _SETSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANSETSN Lib "w_pclog.dll" Alias "_LANSETSN" (ByVal ip As String, ByVal first As Long, ByVal second As Long) As Long
#Else
Public Declare Function WPCLOG_LANSETSN Lib "w_pclog.dll" Alias "_LANSETSN" (ByVal ip As String, ByVal first As Long, ByVal second As Long) As Long
#End If

' See _SETSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELSN Lib "w_pclog.dll" Alias "_DELSN" (ByVal address As Long, ByVal port As Long, ByVal sn As Long) As Long
#Else
Public Declare Function WPCLOG_DELSN Lib "w_pclog.dll" Alias "_DELSN" (ByVal address As Long, ByVal port As Long, ByVal sn As Long) As Long
#End If

' See _SETSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDELSN Lib "w_pclog.dll" Alias "_LANDELSN" (ByVal ip As String, ByVal sn As Long) As Long
#Else
Public Declare Function WPCLOG_LANDELSN Lib "w_pclog.dll" Alias "_LANDELSN" (ByVal ip As String, ByVal sn As Long) As Long
#End If

' See _SETSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETSNORCARD Lib "w_pclog.dll" Alias "_SETSNORCARD" (ByVal address As Long, ByVal port As Long, ByVal mode As Long) As Long
#Else
Public Declare Function WPCLOG_SETSNORCARD Lib "w_pclog.dll" Alias "_SETSNORCARD" (ByVal address As Long, ByVal port As Long, ByVal mode As Long) As Long
#End If

' See _SETSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETCARDWAITTIME Lib "w_pclog.dll" Alias "_SETCARDWAITTIME" (ByVal address As Long, ByVal port As Long, ByVal wait As Long) As Long
#Else
Public Declare Function WPCLOG_SETCARDWAITTIME Lib "w_pclog.dll" Alias "_SETCARDWAITTIME" (ByVal address As Long, ByVal port As Long, ByVal wait As Long) As Long
#End If

' See _SETSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SETLOCKNUM Lib "w_pclog.dll" Alias "_SETLOCKNUM" (ByVal address As Long, ByVal port As Long, ByVal lockArg As Long) As Long
#Else
Public Declare Function WPCLOG_SETLOCKNUM Lib "w_pclog.dll" Alias "_SETLOCKNUM" (ByVal address As Long, ByVal port As Long, ByVal lockArg As Long) As Long
#End If

' See _SETSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELLOCKNUM Lib "w_pclog.dll" Alias "_DELLOCKNUM" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DELLOCKNUM Lib "w_pclog.dll" Alias "_DELLOCKNUM" (ByVal address As Long, ByVal port As Long) As Long
#End If

' The SN queries: the terminal's 16-bit value, or 65535 on any failure (a true value of
' 65535 reads as a failure).
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_WHATSN Lib "w_pclog.dll" Alias "_WHATSN" (ByVal address As Long, ByVal port As Long, ByVal sn As Long) As Long
#Else
Public Declare Function WPCLOG_WHATSN Lib "w_pclog.dll" Alias "_WHATSN" (ByVal address As Long, ByVal port As Long, ByVal sn As Long) As Long
#End If

' See _WHATSN.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_GETSNLENTH Lib "w_pclog.dll" Alias "_GETSNLENTH" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_GETSNLENTH Lib "w_pclog.dll" Alias "_GETSNLENTH" (ByVal address As Long, ByVal port As Long) As Long
#End If

' The real-time fetch: the one record the terminal holds ready, as the text number(6)
' year(4) month(2) day(2) hour(2) minute(2) tag(2, 3 from 100), or "00000000000000000000"
' for no record and any failure. The text lives in the library, one buffer per export and
' per thread, valid until the same thread's next call of the same export; the host does
' not free it.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_REALDOWNLOAD Lib "w_pclog.dll" Alias "_REALDOWNLOAD" (ByVal address As Long, ByVal port As Long) As LongPtr
#Else
Public Declare Function WPCLOG_REALDOWNLOAD Lib "w_pclog.dll" Alias "_REALDOWNLOAD" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _REALDOWNLOAD.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANREALDOWNLOAD Lib "w_pclog.dll" Alias "_LANREALDOWNLOAD" (ByVal ip As String) As LongPtr
#Else
Public Declare Function WPCLOG_LANREALDOWNLOAD Lib "w_pclog.dll" Alias "_LANREALDOWNLOAD" (ByVal ip As String) As Long
#End If

' Names, keyed by person number (0..65535, high byte first on the wire). The name of
' _SENDNAME is zero-terminated; those of _LANSENDNAME and _COPYNAME are counted texts: the
' length (32 bits) in the 4 bytes before the first character, a reference count in the 4
' before those, raised for the call unless it is -1; a null pointer is the empty text. A
' name is sent whole, at most 253 bytes (longer: 1, nothing sent). _COPYNAME appends
' person and the name's first 8 bytes to prefix + "NAM" + MMDD + ".DAT". 0 done, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SENDNAME Lib "w_pclog.dll" Alias "_SENDNAME" (ByVal address As Long, ByVal port As Long, ByVal person As Long, ByVal nameArg As String) As Long
#Else
Public Declare Function WPCLOG_SENDNAME Lib "w_pclog.dll" Alias "_SENDNAME" (ByVal address As Long, ByVal port As Long, ByVal person As Long, ByVal nameArg As String) As Long
#End If

' See _SENDNAME. Counted text: nameArg.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANSENDNAME Lib "w_pclog.dll" Alias "_LANSENDNAME" (ByVal ip As String, ByVal person As Long, ByVal nameArg As LongPtr) As Long
#Else
Public Declare Function WPCLOG_LANSENDNAME Lib "w_pclog.dll" Alias "_LANSENDNAME" (ByVal ip As String, ByVal person As Long, ByVal nameArg As Long) As Long
#End If

' See _SENDNAME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_CHANGENAMEID Lib "w_pclog.dll" Alias "_CHANGENAMEID" (ByVal address As Long, ByVal port As Long, ByVal first As Long, ByVal second As Long) As Long
#Else
Public Declare Function WPCLOG_CHANGENAMEID Lib "w_pclog.dll" Alias "_CHANGENAMEID" (ByVal address As Long, ByVal port As Long, ByVal first As Long, ByVal second As Long) As Long
#End If

' See _SENDNAME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANCHANGENAMEID Lib "w_pclog.dll" Alias "_LANCHANGENAMEID" (ByVal ip As String, ByVal first As Long, ByVal second As Long) As Long
#Else
Public Declare Function WPCLOG_LANCHANGENAMEID Lib "w_pclog.dll" Alias "_LANCHANGENAMEID" (ByVal ip As String, ByVal first As Long, ByVal second As Long) As Long
#End If

' See _SENDNAME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELETEALLNAME Lib "w_pclog.dll" Alias "_DELETEALLNAME" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DELETEALLNAME Lib "w_pclog.dll" Alias "_DELETEALLNAME" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _SENDNAME.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDELETEALLNAME Lib "w_pclog.dll" Alias "_LANDELETEALLNAME" (ByVal ip As String) As Long
#Else
Public Declare Function WPCLOG_LANDELETEALLNAME Lib "w_pclog.dll" Alias "_LANDELETEALLNAME" (ByVal ip As String) As Long
#End If

' See _SENDNAME. Counted text: nameArg.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_COPYNAME Lib "w_pclog.dll" Alias "_COPYNAME" (ByVal prefix As String, ByVal person As Long, ByVal nameArg As LongPtr) As Long
#Else
Public Declare Function WPCLOG_COPYNAME Lib "w_pclog.dll" Alias "_COPYNAME" (ByVal prefix As String, ByVal person As Long, ByVal nameArg As Long) As Long
#End If

' Voice prompts: thirteen values (2, 3 and 5 sent as 16-bit numbers, the others by their
' low byte) and a counted text of at most 99 bytes. Voice number 0 deletes every entry. 0
' done, 1 failed; _LANSENDVOICE returns the terminal's greeting number, 0 on failure.
' Counted text: textArg.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SENDVOICE Lib "w_pclog.dll" Alias "_SENDVOICE" (ByVal address As Long, ByVal port As Long, ByVal v1 As Long, ByVal v2 As Long, ByVal v3 As Long, ByVal v4 As Long, ByVal v5 As Long, ByVal v6 As Long, ByVal v7 As Long, ByVal v8 As Long, ByVal v9 As Long, ByVal v10 As Long, ByVal v11 As Long, ByVal v12 As Long, ByVal v13 As Long, ByVal textArg As LongPtr) As Long
#Else
Public Declare Function WPCLOG_SENDVOICE Lib "w_pclog.dll" Alias "_SENDVOICE" (ByVal address As Long, ByVal port As Long, ByVal v1 As Long, ByVal v2 As Long, ByVal v3 As Long, ByVal v4 As Long, ByVal v5 As Long, ByVal v6 As Long, ByVal v7 As Long, ByVal v8 As Long, ByVal v9 As Long, ByVal v10 As Long, ByVal v11 As Long, ByVal v12 As Long, ByVal v13 As Long, ByVal textArg As Long) As Long
#End If

' See _SENDVOICE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELVOICE Lib "w_pclog.dll" Alias "_DELVOICE" (ByVal address As Long, ByVal port As Long, ByVal voice As Long) As Long
#Else
Public Declare Function WPCLOG_DELVOICE Lib "w_pclog.dll" Alias "_DELVOICE" (ByVal address As Long, ByVal port As Long, ByVal voice As Long) As Long
#End If

' See _SENDVOICE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELALLVOICE Lib "w_pclog.dll" Alias "_DELALLVOICE" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DELALLVOICE Lib "w_pclog.dll" Alias "_DELALLVOICE" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _SENDVOICE. Counted text: textArg.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANSENDVOICE Lib "w_pclog.dll" Alias "_LANSENDVOICE" (ByVal ip As String, ByVal v1 As Long, ByVal v2 As Long, ByVal v3 As Long, ByVal v4 As Long, ByVal v5 As Long, ByVal v6 As Long, ByVal v7 As Long, ByVal v8 As Long, ByVal v9 As Long, ByVal v10 As Long, ByVal v11 As Long, ByVal v12 As Long, ByVal v13 As Long, ByVal textArg As LongPtr) As Long
#Else
Public Declare Function WPCLOG_LANSENDVOICE Lib "w_pclog.dll" Alias "_LANSENDVOICE" (ByVal ip As String, ByVal v1 As Long, ByVal v2 As Long, ByVal v3 As Long, ByVal v4 As Long, ByVal v5 As Long, ByVal v6 As Long, ByVal v7 As Long, ByVal v8 As Long, ByVal v9 As Long, ByVal v10 As Long, ByVal v11 As Long, ByVal v12 As Long, ByVal v13 As Long, ByVal textArg As Long) As Long
#End If

' See _SENDVOICE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDELVOICE Lib "w_pclog.dll" Alias "_LANDELVOICE" (ByVal ip As String, ByVal voice As Long) As Long
#Else
Public Declare Function WPCLOG_LANDELVOICE Lib "w_pclog.dll" Alias "_LANDELVOICE" (ByVal ip As String, ByVal voice As Long) As Long
#End If

' See _SENDVOICE.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_LANDELALLVOICE Lib "w_pclog.dll" Alias "_LANDELALLVOICE" (ByVal ip As String) As Long
#Else
Public Declare Function WPCLOG_LANDELALLVOICE Lib "w_pclog.dll" Alias "_LANDELALLVOICE" (ByVal ip As String) As Long
#End If

' The card-only list: persons who clock with their card alone. 0 acknowledged, 1 failed.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SENDONLYCARD Lib "w_pclog.dll" Alias "_SENDONLYCARD" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#Else
Public Declare Function WPCLOG_SENDONLYCARD Lib "w_pclog.dll" Alias "_SENDONLYCARD" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#End If

' See _SENDONLYCARD.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELONLYCARD Lib "w_pclog.dll" Alias "_DELONLYCARD" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#Else
Public Declare Function WPCLOG_DELONLYCARD Lib "w_pclog.dll" Alias "_DELONLYCARD" (ByVal address As Long, ByVal port As Long, ByVal person As Long) As Long
#End If

' See _SENDONLYCARD.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELALLONLYCARD Lib "w_pclog.dll" Alias "_DELALLONLYCARD" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DELALLONLYCARD Lib "w_pclog.dll" Alias "_DELALLONLYCARD" (ByVal address As Long, ByVal port As Long) As Long
#End If

' Fingerprint module. Each returns the status byte of the module's reply (0-255; what it
' means is the module's), or 255 when the exchange failed. _FDATXDATA and _GETFDAVER talk
' to a module on the port directly (9600 baud; the port and the five after it are tried
' once each): any command with four 16-bit parameters (low 16 bits used), and the version.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_FDATXDATA Lib "w_pclog.dll" Alias "_FDATXDATA" (ByVal port As Long, ByVal command As Long, ByVal p1 As Long, ByVal p2 As Long, ByVal p3 As Long, ByVal p4 As Long) As Long
#Else
Public Declare Function WPCLOG_FDATXDATA Lib "w_pclog.dll" Alias "_FDATXDATA" (ByVal port As Long, ByVal command As Long, ByVal p1 As Long, ByVal p2 As Long, ByVal p3 As Long, ByVal p4 As Long) As Long
#End If

' See _FDATXDATA.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_GETFDAVER Lib "w_pclog.dll" Alias "_GETFDAVER" (ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_GETFDAVER Lib "w_pclog.dll" Alias "_GETFDAVER" (ByVal port As Long) As Long
#End If

' Templates by user ID through the terminal's pass-through, with files in FINGERREC beside
' the data files: IDLIST.TXT, and FP + ID to 4 digits + "_" + template number + ".TXT"
' (816 bytes). user 0-2047, attribute 0-15 (low byte), template number 1 or 2: anything
' else gives 255 with no file or port touched. _SENDIDFPREC ignores its fourth argument;
' _DELIDFPALL returns 0 on success.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_GETIDLIST Lib "w_pclog.dll" Alias "_GETIDLIST" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_GETIDLIST Lib "w_pclog.dll" Alias "_GETIDLIST" (ByVal address As Long, ByVal port As Long) As Long
#End If

' See _GETIDLIST.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_SENDIDFPREC Lib "w_pclog.dll" Alias "_SENDIDFPREC" (ByVal address As Long, ByVal port As Long, ByVal user As Long, ByVal ignored As Long, ByVal number As Long) As Long
#Else
Public Declare Function WPCLOG_SENDIDFPREC Lib "w_pclog.dll" Alias "_SENDIDFPREC" (ByVal address As Long, ByVal port As Long, ByVal user As Long, ByVal ignored As Long, ByVal number As Long) As Long
#End If

' See _GETIDLIST.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_GETIDFPREC Lib "w_pclog.dll" Alias "_GETIDFPREC" (ByVal address As Long, ByVal port As Long, ByVal user As Long, ByVal attribute As Long, ByVal number As Long) As Long
#Else
Public Declare Function WPCLOG_GETIDFPREC Lib "w_pclog.dll" Alias "_GETIDFPREC" (ByVal address As Long, ByVal port As Long, ByVal user As Long, ByVal attribute As Long, ByVal number As Long) As Long
#End If

' See _GETIDLIST.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELIDFPREC Lib "w_pclog.dll" Alias "_DELIDFPREC" (ByVal address As Long, ByVal port As Long, ByVal user As Long, ByVal attribute As Long, ByVal number As Long) As Long
#Else
Public Declare Function WPCLOG_DELIDFPREC Lib "w_pclog.dll" Alias "_DELIDFPREC" (ByVal address As Long, ByVal port As Long, ByVal user As Long, ByVal attribute As Long, ByVal number As Long) As Long
#End If

' See _GETIDLIST.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_DELIDFPALL Lib "w_pclog.dll" Alias "_DELIDFPALL" (ByVal address As Long, ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_DELIDFPALL Lib "w_pclog.dll" Alias "_DELIDFPALL" (ByVal address As Long, ByVal port As Long) As Long
#End If

' Fingerprint backup. 0 done, 1 failed. _ZWBACKUP puts the terminal into backup mode
' (command 0x0E with the mode byte, then the terminal's second ACK within 60 s). _RXZWFILE
' receives the module's backup at 19200 baud, two stop bits, into zwbak.txt beside the
' data files; it receives into zwbak.new and puts that in the place of zwbak.txt only when
' the whole backup has arrived, so a failed receive leaves zwbak.txt as it was. _TXZWFILE
' sends zwbak.txt back to the module. Both try the given port and the five after it once
' each.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_ZWBACKUP Lib "w_pclog.dll" Alias "_ZWBACKUP" (ByVal address As Long, ByVal port As Long, ByVal mode As Long) As Long
#Else
Public Declare Function WPCLOG_ZWBACKUP Lib "w_pclog.dll" Alias "_ZWBACKUP" (ByVal address As Long, ByVal port As Long, ByVal mode As Long) As Long
#End If

' See _ZWBACKUP.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_RXZWFILE Lib "w_pclog.dll" Alias "_RXZWFILE" (ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_RXZWFILE Lib "w_pclog.dll" Alias "_RXZWFILE" (ByVal port As Long) As Long
#End If

' See _ZWBACKUP.
#If VBA7 Then
Public Declare PtrSafe Function WPCLOG_TXZWFILE Lib "w_pclog.dll" Alias "_TXZWFILE" (ByVal port As Long) As Long
#Else
Public Declare Function WPCLOG_TXZWFILE Lib "w_pclog.dll" Alias "_TXZWFILE" (ByVal port As Long) As Long
#End If

' A counted text of s as the library reads it, in the caller's array
' buffer: a 32-bit reference count, the 32-bit length, the characters (ANSI)
' and a zero. Pass CountedTextPointer(buffer); keep the array for the call.
Public Sub MakeCountedText(ByVal s As String, buffer() As Byte)
    Dim ansi() As Byte, n As Long, i As Long
    ansi = StrConv(s, vbFromUnicode)
    n = UBound(ansi) - LBound(ansi) + 1
    ReDim buffer(0 To 8 + n) As Byte
    buffer(0) = 1                        ' reference count 1: the caller holds it
    buffer(4) = n And &HFF&              ' length, low byte first
    buffer(5) = (n \ &H100&) And &HFF&
    buffer(6) = (n \ &H10000) And &HFF&
    buffer(7) = (n \ &H1000000) And &HFF&
    For i = 0 To n - 1
        buffer(8 + i) = ansi(LBound(ansi) + i)
    Next i
End Sub

#If VBA7 Then
Public Function CountedTextPointer(buffer() As Byte) As LongPtr
    CountedTextPointer = VarPtr(buffer(8))
End Function
#Else
Public Function CountedTextPointer(buffer() As Byte) As Long
    CountedTextPointer = VarPtr(buffer(8))
End Function
#End If

' A text result of the library (it stays the library's) as a String.
#If VBA7 Then
Public Function WpclogText(ByVal p As LongPtr) As String
#Else
Public Function WpclogText(ByVal p As Long) As String
#End If
    Dim n As Long
    If p = 0 Then Exit Function
    n = lstrlenA(p)
    Dim bytes() As Byte
    If n = 0 Then Exit Function
    ReDim bytes(0 To n - 1) As Byte
    CopyMemory bytes(0), ByVal p, n
    WpclogText = StrConv(bytes, vbUnicode)
End Function
