@echo off
rem Judges test.txt with the model in the current directory.
"%~dp0sentiment.exe" test --input test.txt --model sentiment.model --out out.txt --percent percent.txt
exit /b %errorlevel%
