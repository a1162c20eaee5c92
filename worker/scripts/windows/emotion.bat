@echo off
rem Trains the model from the exchange files in the current directory.
rem The progress file is left to its built-in name (the Chinese for "count"):
rem cmd.exe reads this file in the ANSI code page and would garble it here.
"%~dp0sentiment.exe" train --reviews reviews.txt --labels labels.txt --model sentiment.model
exit /b %errorlevel%
