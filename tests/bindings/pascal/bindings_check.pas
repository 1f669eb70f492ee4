{ Calls the library through the generated Pascal unit: a serial port search
  (plain integers) and a counted text whose reference count the library
  must give back.
    bindings_check PORT DIR }
program bindings_check;

uses
  SysUtils, w_pclog;

var
  Failures: Integer = 0;

procedure Expect(Ok: Boolean; const What: string);
begin
  if Ok then
    WriteLn('ok   ', What)
  else
  begin
    WriteLn('FAIL ', What);
    Inc(Failures);
  end;
end;

var
  Port, Found, Result: Integer;
  Dir: AnsiString;
  Name: PAnsiChar;
begin
  Port := StrToInt(ParamStr(1));
  Dir := ParamStr(2);
  Found := _TESTCOM(1, Port);
  Expect(Found = Port, Format('_TESTCOM(1, %d) = %d', [Port, Found]));
  { The search wraps from port 6 to port 1: it reaches the terminal from any start. }
  Found := _TESTCOM(1, 5);
  Expect(Found = Port, Format('_TESTCOM(1, 5) = %d', [Found]));

  Name := NewCountedText('Ann');
  Result := _COPYNAME(PAnsiChar(Dir), 258, Name);
  Expect((Result = 0) and (PLongint(Name - 8)^ = 1),
    Format('_COPYNAME = %d, reference count %d', [Result, PLongint(Name - 8)^]));
  FreeCountedText(Name);
  if Failures > 0 then
    Halt(1);
end.
