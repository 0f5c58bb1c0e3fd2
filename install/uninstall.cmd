@echo off
rem Removes the mail client's registration of Quorbit.dll; the folder it
rem stands in, with its help files, is the administrator's to delete. The
rem handlers below HKLM\SOFTWARE\Quorbit stay, for a later installation.
setlocal
rem The 32-bit client reads the 32-bit view of the registry. On 64-bit
rem Windows the 32-bit reg.exe works in that view without a switch; XP's
rem reg.exe knows no /reg:32.
set "REG=%WINDIR%\system32\reg.exe"
if exist "%WINDIR%\SysWOW64\reg.exe" set "REG=%WINDIR%\SysWOW64\reg.exe"
"%REG%" delete "HKLM\Software\Microsoft\Exchange\Client\Extensions" /v Quorbit /f >nul 2>nul
rem Every user's client drops Quorbit from its cache of extensions at its
rem next start.
"%REG%" add "HKLM\Software\Microsoft\Exchange\Client\Extensions" /v "Outlook Setup Extension" /t REG_SZ /d "4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX" /f >nul 2>nul
echo uninstall: the mail client no longer loads Quorbit.dll
exit /b 0
