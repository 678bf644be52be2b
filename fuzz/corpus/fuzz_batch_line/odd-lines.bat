@echo off
call
  CALL   	"c:\kel lane\applications\Moxtel"	-InputFile "a b\\" \"x\" "unbalanced
REM call "x.bat"
rem
:label with "quote
"" "" 	""
	Tembo		-x	
rem	Tembo
remark Tembo
@ @ Tembo
x"y z"w \\\"q a\\b

last line without end