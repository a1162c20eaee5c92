@echo off
rem Judges test.txt with the model in the current directory.
rem The tool is the one in the current directory, where the window starts
rem this script, called without the directory's name: wine's cmd expands the
rem percent signs in the script's own path once more, so that a folder whose
rem name holds one (100 and the sign, or a variable's name between two signs)
rem would be lost. Started from elsewhere, the script takes the tool beside
rem itself.
setlocal
set tool=".\sentiment.exe"
if exist sentiment.exe goto run
set tool="%~dp0sentiment.exe"
:run
%tool% test --input test.txt --model sentiment.model --out out.txt --percent percent.txt
exit /b %errorlevel%
