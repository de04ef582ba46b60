@echo off
rem Taeglicher stiller Lauf von FEGAUS, gestartet von der Aufgabenplanung als
rem SYSTEM. Nur fehlgeschlagene Loeschungen und uebersprungene Suchmuster
rem erzeugen eine Ausgabe; sie wird an den Bericht im Ordner Berichte
rem angehaengt, den das Installationspaket nur fuer SYSTEM und Administratoren
rem anlegt. Kein Benutzer kann dort etwas schreiben, ersetzen oder umlenken.
rem Fehlt der Ordner, schreibt das Skript nirgends hin und endet mit 1.
rem Suchmuster und Altersgrenze anpassen.
setlocal
set "FEGAUS=%ProgramFiles%\FEGAUS"
if not exist "%FEGAUS%\Berichte\" exit /b 1
"%FEGAUS%\fegaus.exe" -Q -L=31 "D:\Logs\*.log" >> "%FEGAUS%\Berichte\fegaus-fehler.txt"
