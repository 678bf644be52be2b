: use for 3.xx only

call "C:\FirmwareUpdate\tembo.exe"
call "C:\FirmwareUpdate\Moxtel.exe" -SecurityModuleUpload -InputFile "C:\FirmwareUpdate\SCv353.tsk" -AltInputFile "C:\FirmwareUpdate\SCvA353.tsk"
call "C:\FirmwareUpdate\tembo.exe"
call "C:\FirmwareUpdate\tembo.exe"



