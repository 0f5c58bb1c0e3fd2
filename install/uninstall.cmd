@echo off
rem Removes the mail client's registration of Quorbit.dll and the help
rem file from the Windows help folder. The handlers below
rem HKLM\SOFTWARE\Quorbit stay, for a later installation.
setlocal
reg delete "HKLM\Software\Microsoft\Exchange\Client\Extensions" /v Quorbit /f /reg:32 >nul 2>nul
echo uninstall: the mail client no longer loads Quorbit.dll
if exist "%WINDIR%\Help\Quorbit.HLP" (
    del /f "%WINDIR%\Help\Quorbit.HLP"
    echo uninstall: removed %WINDIR%\Help\Quorbit.HLP
)
rem The copy that install.cmd leaves for Wine's help viewer.
if exist "%WINDIR%\Quorbit.HLP" reg query "HKLM\Software\Wine" >nul 2>nul && del /f "%WINDIR%\Quorbit.HLP"
exit /b 0
