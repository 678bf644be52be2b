Tembo
"c:\kel lane\applications\Moxtel" -SecurityModuleUpload -InputFile "c:\kel lane\firmwareupdate\SCv464.TSK"
Tembo
Tembo
