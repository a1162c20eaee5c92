@echo off
rem Trains the model from the exchange files in the current directory.
"%~dp0sentiment.exe" train --reviews reviews.txt --labels labels.txt --model sentiment.model --progress 计数.txt
exit /b %errorlevel%
