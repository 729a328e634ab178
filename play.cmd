@echo off
rem Builds the game with CMake and starts it, as ./play does elsewhere.
rem Needs CMake 3.20 or later and a C++17 compiler that CMake finds.
setlocal
cd /d "%~dp0"
where cmake >nul 2>nul
if errorlevel 1 goto missing
cmake -S . -B build-windows
if errorlevel 1 goto missing
cmake --build build-windows --config Release --target blackjack
if errorlevel 1 exit /b 1
set game=build-windows\blackjack.exe
if exist build-windows\Release\blackjack.exe set game=build-windows\Release\blackjack.exe
%game%
exit /b %errorlevel%

:missing
echo Please install CMake 3.20 or later and Visual Studio 2019 or later with "Desktop development with C++" (or MSYS2 with its MinGW-w64 gcc and cmake).
exit /b 1
