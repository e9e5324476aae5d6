@ECHO OFF
del C:\TEMP\~0000.exe
del C:\TEMP\~0000.pif
del C:\TEMP\~0000.bat
